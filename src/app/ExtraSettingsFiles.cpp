// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ExtraSettingsFiles.h"

#include "app/DetectorSettings.h"
#include "app/PublishSettings.h"
#include "app/RegisterSettings.h"
#include "app/TariffSettings.h"
#include "app/UnattendedSettings.h"

std::span<const SettingsFile* const> ExtraSettingsFiles()
{
    static const SettingsFile* const files[] = {&PublishSettingsFile(), &UnattendedSettingsFile(),
                                                &DetectorSettingsFile(), &TariffSettingsFile(),
                                                &RegisterSettingsFile()};
    return files;
}
