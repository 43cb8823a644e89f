// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DetectorSettings.h"

#include "app/AppContext.h"
#include "app/SettingsFile.h"

#include <utility>

namespace {
std::optional<double> degrees(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !DetectorRanges::FORWARD_DIRECTION.contains(value))
        return std::nullopt;
    return value;
}

bool acceptsDirection(const QString& text)
{
    return text.isEmpty() || degrees(text).has_value();
}
} // namespace

QString SaveCountDirection(AppContext& ctx)
{
    const GlobalSettings inUse = ctx.settings;
    LoadSettingsFile(ctx, DetectorSettingsFile());
    GlobalSettings saved = std::exchange(ctx.settings, inUse);
    saved.COUNT_DIRECTION = inUse.COUNT_DIRECTION;
    return WriteSettingsFile(ctx, DetectorSettingsFile(), saved);
}

std::optional<double> ForwardDegrees(const GlobalSettings& s)
{
    return degrees(s.FORWARD_DIRECTION);
}

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
            SettingsKey::Number{&GlobalSettings::ASSURED_UP_TO_WATTS, 0, DetectorRanges::ASSURED_UP_TO_WATTS}},
           {"COUNT_DIRECTION", SettingsKey::Flag{&GlobalSettings::COUNT_DIRECTION, false}},
           {"FORWARD_DIRECTION", SettingsKey::Text{&GlobalSettings::FORWARD_DIRECTION, "", acceptsDirection}}}}}};
    return file;
}
