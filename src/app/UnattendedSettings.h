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

// A start-up option of Unattended Operation is on: the program may be running with no one to answer a message.
inline bool RunsUnattended(const GlobalSettings& s)
{
    return s.START_CAMERA_AT_STARTUP || s.RESUME_LOGGING_AFTER_RESTART;
}

namespace UnattendedRanges {
// 0 switches the watchdog off.
inline constexpr ReadRange<qint32> STALLED_CAMERA_SECONDS{0, 86400};
} // namespace UnattendedRanges
