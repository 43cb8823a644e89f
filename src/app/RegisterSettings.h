// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/GlobalSettings.h"

#include <QString>

struct SettingsFile;

// REGISTERSETTINGS.CFG: where the register's number wheels are in the camera's picture, how many there are and how
// often they are compared with the count. Set on Camera Setup and saved with the camera settings.
const SettingsFile& RegisterSettingsFile();

namespace RegisterRules {
inline constexpr ReadRange<qint32> DIGITS{1, 9};
inline constexpr ReadRange<qint32> DECIMALS{0, 3};
inline constexpr ReadRange<qint32> CHECK_MINUTES{1, 1440};
// Empty (no register read) or a region RegisterRegion::parse takes.
bool isRegion(const QString& text);
// REGISTER_DECIMALS as used: at least one wheel stays before the point. The file's keys are each checked alone, so
// a file may hold more decimals than its digits allow; it is clamped here rather than refused.
qint32 decimalsInUse(const GlobalSettings& s);
} // namespace RegisterRules
