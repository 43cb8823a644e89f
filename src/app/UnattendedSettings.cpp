// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/UnattendedSettings.h"

#include "app/SettingsFile.h"

const SettingsFile& UnattendedSettingsFile()
{
    using Flag = SettingsKey::Flag;
    using Number = SettingsKey::Number;
    using Text = SettingsKey::Text;
    using G = GlobalSettings;
    // The simulated meter's values are its own starting values.
    static const SettingsFile file{
        "UNATTENDEDSETTINGS.CFG",
        "unattended",
        {{"Camera",
          {{"REMEMBER_CAMERA", Flag{&G::REMEMBER_CAMERA, true}},
           {"CAMERA_DEVICE", Text{&G::CAMERA_DEVICE, ""}},
           {"CAMERA_VIDEO_SIZE", Text{&G::CAMERA_VIDEO_SIZE, ""}},
           {"CAMERA_SUBTYPE", Text{&G::CAMERA_SUBTYPE, ""}},
           {"CAMERA_VIDEO_FILE", Text{&G::CAMERA_VIDEO_FILE, ""}}}},
         {"Simulated Meter",
          {{"SIMULATED_POWER_WATTS", Number{&G::SIMULATED_POWER_WATTS, 1000, {-100000, 100000}}},
           {"SIMULATED_REVS_PER_KWH", Number{&G::SIMULATED_REVS_PER_KWH, 300, {1, 100000}}},
           {"SIMULATED_NOISE", Number{&G::SIMULATED_NOISE, 6, {0, 100}}},
           {"SIMULATED_LIGHT_DRIFT_PERCENT", Number{&G::SIMULATED_LIGHT_DRIFT_PERCENT, 5, {0, 50}}},
           {"SIMULATED_MARK_WIDTH_PERCENT", Number{&G::SIMULATED_MARK_WIDTH_PERCENT, 40, {5, 100}}},
           {"SIMULATED_FLICKER", Flag{&G::SIMULATED_FLICKER, false}}}},
         {"Start-up",
          {{"START_CAMERA_AT_STARTUP", Flag{&G::START_CAMERA_AT_STARTUP, false}},
           {"RESUME_LOGGING_AFTER_RESTART", Flag{&G::RESUME_LOGGING_AFTER_RESTART, false}}}},
         {"Watchdog",
          {{"STALLED_CAMERA_SECONDS",
            Number{&G::STALLED_CAMERA_SECONDS, 10, UnattendedRanges::STALLED_CAMERA_SECONDS}}}}}};
    return file;
}

QString SaveUnattendedSettings(AppContext& ctx)
{
    return SaveSettingsFile(ctx, UnattendedSettingsFile());
}
