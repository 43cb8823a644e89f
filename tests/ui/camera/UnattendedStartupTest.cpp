// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SettingsFile.h"
#include "app/UnattendedSettings.h"
#include "capture/CaptureComponent.h"
#include "capture/MeterCamera.h"
#include "capture/SimulatedFrames.h"
#include "support/TestContext.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/WattsightApp.h"

#include <gtest/gtest.h>

namespace {

// The program started on test services after `before` prepared its folder.
struct StartedApp
{
    explicit StartedApp(const std::function<void(TestContext&)>& before)
    {
        before(t);
        EXPECT_TRUE(app.Main());
    }
    // The Camera Setup screen, opened at the desk with the camera it starts.
    QWidget* cameraScreen() { return app.window().screen(MenuItem::CameraSetup); }
    TestContext t;
    WattsightApp app{Services{t.clock, t.pump, t.dialogs, t.files}, t.dir.path(), WattsightApp::Options{}};
};

TEST(UnattendedStartup, TheRememberedSimulatedMeterOfAFirstVersionFileStartsAndCountsWithoutAClick)
{
    // Written before the video file and the simulated meter's own settings were kept.
    StartedApp started([](TestContext& t) {
        const QString path = SettingsFilePath(t.ctx, UnattendedSettingsFile());
        ASSERT_TRUE(writeFileBytes(path, "[Camera]\r\nREMEMBER_CAMERA=true\r\nCAMERA_DEVICE=Simulated meter\r\n"
                                         "CAMERA_VIDEO_SIZE=160 x 120\r\nCAMERA_SUBTYPE=\r\n\r\n[Start-up]\r\n"
                                         "START_CAMERA_AT_STARTUP=true\r\nRESUME_LOGGING_AFTER_RESTART=false\r\n\r\n"
                                         "[Watchdog]\r\nSTALLED_CAMERA_SECONDS=10\r\n\r\n"));
    });
    ASSERT_NE(started.cameraScreen(), nullptr);
    MeteringContext& ctx = started.app.context();
    SimulatedFrames frames(started.app.meterCamera().capture(), started.t.clock);
    EXPECT_TRUE(frames.runUntil([&] { return ctx.trip.totalPulse >= 2; }, 30.0));
    EXPECT_EQ(started.t.dialogs.texts() + started.t.dialogs.notices, QStringList());
    started.app.meterCamera().stop();
    EXPECT_EQ(SaveUnattendedSettings(ctx), "");
    // Written back with the keys the file lacked, at their factory values.
    EXPECT_TRUE(fileBytes(SettingsFilePath(ctx, UnattendedSettingsFile()))
                    .contains("CAMERA_VIDEO_FILE=\r\n\r\n[Simulated Meter]\r\nSIMULATED_POWER_WATTS=1000\r\n"));
}

TEST(UnattendedStartup, WithTheOptionsAtFactoryStateAnUnfinishedRunIsLeftAsBefore)
{
    const QByteArray backup = "DateTime,Year\r\nnot read\r\n";
    StartedApp started([&](TestContext& t) {
        for (const QString& path : {t.ctx.paths.loggingRun, t.ctx.paths.dataStore})
            ASSERT_TRUE(writeFileBytes(path, backup));
    });
    EXPECT_FALSE(started.app.context().blnGlobalLoggingRunning);
    EXPECT_EQ(started.cameraScreen(), nullptr);
    EXPECT_FALSE(started.app.meterCamera().running());
    EXPECT_TRUE(started.t.dialogs.shown.empty());
    EXPECT_EQ(fileBytes(started.t.ctx.paths.dataStore), backup);
}

} // namespace
