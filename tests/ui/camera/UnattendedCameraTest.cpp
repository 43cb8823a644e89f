// SPDX-License-Identifier: GPL-3.0-or-later
#include "../capture/FakeCameras.h"
#include "SimulatedFrames.h"
#include "app/SettingsFile.h"
#include "app/UnattendedSettings.h"
#include "camera/MarkDetector.h"
#include "metering/LoggingEngine.h"
#include "support/TestContext.h"
#include "ui/camera/CameraForm.h"
#include "ui/camera/StalledCameraWatch.h"
#include "ui/camera/StartCameraForm.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/WattsightApp.h"
#include "unattended/DeviceList.h"

#include <gtest/gtest.h>

namespace {

// Opens the selection screen on a component listing cameras with these names (ids alike); `choose`, when
// given, picks a camera and starts it. Returns "device|size|subtype" as selected on opening or by `choose`.
QString selection(TestContext& t, const QStringList& names, const std::function<void(CaptureComponent&)>& choose = {})
{
    FakeCameras cameras;
    for (const QString& name : names)
        cameras.cameras << fakeCamera(name.toLatin1(), name);
    CaptureComponent capture(t.clock, t.dialogs, cameras);
    MarkDetector detector(t.ctx, capture);
    StartCameraForm form(t.ctx, capture, detector);
    form.show();
    if (choose)
        choose(capture);
    const QString selected = capture.deviceName() + '|' + listItemAt(capture.sizeList(), capture.sizeIndex()) + '|' +
                             listItemAt(capture.subtypeList(), capture.subtypeIndex());
    if (choose)
        form.startCamera();
    capture.stop();
    return selected;
}

TEST(RememberedCamera, IsPreselectedByNameWhenTheDeviceListChangesOrder)
{
    TestContext t;
    const auto chooseSecond = [](CaptureComponent& c) { c.setDeviceIndex(1), c.setSizeIndex(0), c.setSubtypeIndex(1); };
    EXPECT_EQ(selection(t, {"Cam A", "Cam B"}, chooseSecond), "Cam B|320 x 240|NV12");
    EXPECT_TRUE(fileBytes(SettingsFilePath(t.ctx, UnattendedSettingsFile()))
                    .contains("CAMERA_DEVICE=Cam B\r\nCAMERA_VIDEO_SIZE=320 x 240\r\nCAMERA_SUBTYPE=NV12\r\n"));
    // The next start reads the file; the cameras are listed in another order, or the remembered one is gone.
    t.ctx.settings = SettingsDefaults::factorySettings();
    ASSERT_TRUE(LoadSettingsFile(t.ctx, UnattendedSettingsFile()));
    EXPECT_EQ(selection(t, {"Cam C", "Cam B", "Cam A"}), "Cam B|320 x 240|NV12");
    EXPECT_EQ(selection(t, {"Cam A"}), "||");
}

TEST(StalledCameraWatch, RestartsAStalledCameraUntilPicturesReturnAndTheRecordNotesIt)
{
    TestContext t;
    FakeCameras cameras;
    cameras.cameras = {fakeCamera("a", QStringLiteral("Cam A"))};
    CaptureComponent capture(t.clock, t.dialogs, cameras);
    capture.setMotionDetection(true);
    capture.setDeviceIndex(0);
    int restarts = 0;
    StalledCameraWatch watch(t.ctx, capture, [&] {
        ++restarts;
        capture.stop();
        capture.startLiveVideo();
    });
    LoggingEngine logging(t.ctx);
    capture.startLiveVideo();
    t.ctx.blnGlobalCameraRunning = true;
    watch.cameraRunningChanged(true);
    ASSERT_TRUE(logging.startButton());
    auto picture = [&] {
        QSignalSpy analysed(&capture, &VideoCapture::frameAnalysed);
        cameras.lastStream->push(uniformFrame(QVideoFrameFormat::Format_NV12, {64, 48}, QColor(90, 90, 90)));
        return analysed.wait(5000);
    };
    ASSERT_TRUE(picture());

    // Seconds since the last picture -> restarts so far and the camera status on the logging screen.
    const std::tuple<double, int, const char*> steps[] = {{9.5, 0, "Camera is Running"},
                                                          {10, 1, "Camera stalled: no picture for 10 s"},
                                                          {20, 2, "Camera stalled: no picture for 20 s"}};
    for (const auto& [seconds, restartsSoFar, status] : steps) {
        t.clock.setTimer(9 * 3600 + seconds);
        watch.check();
        EXPECT_EQ(restarts, restartsSoFar) << seconds;
        EXPECT_EQ(logging.display().Text13, status) << seconds;
    }
    ASSERT_TRUE(picture()) << "the restarted camera delivers again";
    EXPECT_EQ(logging.display().Text13, "Camera is Running");
    t.clock.setTimer(9 * 3600 + 300);
    logging.tick();
    ASSERT_EQ(t.ctx.varGlobalDataArray.count(), 1);
    EXPECT_EQ(t.ctx.varGlobalDataArray.row(1).UserComment,
              "Camera stalled: no picture for 10 s; Camera picture back after 20 s");
}

// The program started on test services after `before` prepared its folder.
struct StartedApp
{
    explicit StartedApp(const std::function<void(TestContext&)>& before)
    {
        before(t);
        EXPECT_TRUE(app.Main());
    }
    CameraForm* camera() { return qobject_cast<CameraForm*>(app.window().screen(MenuItem::CameraSetup)); }
    TestContext t;
    WattsightApp app{Services{t.clock, t.pump, t.dialogs, t.files}, t.dir.path(), WattsightApp::Options{}};
};

TEST(UnattendedStartup, TheRememberedSimulatedMeterStartsAndCountsWithoutAClick)
{
    StartedApp started([](TestContext& t) {
        GlobalSettings& s = t.ctx.settings;
        s.START_CAMERA_AT_STARTUP = true;
        s.CAMERA_DEVICE = CaptureComponent::SimulatedMeterName;
        s.CAMERA_VIDEO_SIZE = QStringLiteral("160 x 120");
        s.SIMULATED_POWER_WATTS = 7200;
        EXPECT_EQ(SaveUnattendedSettings(t.ctx), "");
    });
    ASSERT_NE(started.camera(), nullptr);
    SimulatedFrames frames(started.camera()->capture(), started.t.clock);
    EXPECT_TRUE(frames.runUntil([&] { return started.app.context().trip.totalPulse >= 3; }, 12.0));
    EXPECT_TRUE(started.t.dialogs.shown.empty());
    started.camera()->capture().stop();
}

TEST(UnattendedStartup, WithTheOptionsAtFactoryStateAnUnfinishedRunIsLeftAsBefore)
{
    const QByteArray backup = "DateTime,Year\r\nnot read\r\n";
    StartedApp started([&](TestContext& t) {
        for (const QString& path : {t.ctx.paths.loggingRun, t.ctx.paths.dataStore})
            ASSERT_TRUE(writeFileBytes(path, backup));
    });
    EXPECT_FALSE(started.app.context().blnGlobalLoggingRunning);
    EXPECT_EQ(started.camera(), nullptr);
    EXPECT_TRUE(started.t.dialogs.shown.empty());
    EXPECT_EQ(fileBytes(started.t.ctx.paths.dataStore), backup);
}

} // namespace
