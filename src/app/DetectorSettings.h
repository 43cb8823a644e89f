// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/GlobalSettings.h"

#include <optional>

struct AppContext;
struct SettingsFile;

// DETECTORSETTINGS.CFG: mark-detection settings beyond the camera settings file, whose keys stay as they
// are. Saved and reset together with the camera settings.
const SettingsFile& DetectorSettingsFile();

namespace DetectorRanges {
// 100: the mark counts as gone below the trigger level itself.
inline constexpr ReadRange<qint32> RELEASE_LEVEL_PERCENT{1, 100};
// Watts; 0: Find Mark stated no limit.
inline constexpr ReadRange<qint32> ASSURED_UP_TO_WATTS{0, 1000000};
// Degrees, 0 towards the picture's right, 90 downwards.
inline constexpr ReadRange<double> FORWARD_DIRECTION{-180.0, 180.0};
} // namespace DetectorRanges

// Writes COUNT_DIRECTION from the settings in use into DETECTORSETTINGS.CFG, the file's other keys as they are there:
// the meter's setup keeps it, while the detection levels in use are saved only with the camera's. "" or the error.
QString SaveCountDirection(AppContext& ctx);

// FORWARD_DIRECTION in degrees; none while Find Mark has not learnt it (or the text is no angle).
std::optional<double> ForwardDegrees(const GlobalSettings& s);
