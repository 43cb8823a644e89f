// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DetectorSettings.h"

#include "app/SettingsFile.h"

const SettingsFile& DetectorSettingsFile()
{
    static const SettingsFile file{
        "DETECTORSETTINGS.CFG",
        "detector",
        {{"Mark Detection",
          {{"RELEASE_LEVEL_PERCENT",
            SettingsKey::Number{&GlobalSettings::RELEASE_LEVEL_PERCENT, 100, DetectorRanges::RELEASE_LEVEL_PERCENT}},
           {"LEVELS_FOLLOW_LIGHT", SettingsKey::Flag{&GlobalSettings::LEVELS_FOLLOW_LIGHT, false}},
           {"ASSURED_UP_TO_WATTS",
            SettingsKey::Number{&GlobalSettings::ASSURED_UP_TO_WATTS, 0, DetectorRanges::ASSURED_UP_TO_WATTS}}}}}};
    return file;
}
