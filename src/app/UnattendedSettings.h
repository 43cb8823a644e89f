// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/GlobalSettings.h"

#include <QString>

struct AppContext;
struct SettingsFile;

// UNATTENDEDSETTINGS.CFG: the remembered camera, what happens at start-up, the stalled-camera watchdog.
const SettingsFile& UnattendedSettingsFile();

// Writes the file from ctx.settings; "" on success, otherwise the error text.
QString SaveUnattendedSettings(AppContext& ctx);

namespace UnattendedRanges {
// 0 switches the watchdog off.
inline constexpr ReadRange<qint32> STALLED_CAMERA_SECONDS{0, 86400};
} // namespace UnattendedRanges
