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

#include <QComboBox>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Opens the selection screen on a component listing these cameras; returns "device|size|subtype" selected.
QString selectionOnOpening(TestContext& t, FakeCameras& cameras, const std::function<void(CaptureComponent&)>& act = {})
{
    CaptureComponent capture(t.clock, t.dialogs, cameras);
    MarkDetector detector(t.ctx, capture);
    StartCameraForm form(t.ctx, capture, detector);
    form.show();
    if (act)
        act(capture);
    if (capture.deviceIndex() >= 0) {
        EXPECT_EQ(form.findChild<QComboBox*>(QStringLiteral("cboVideoDevices"))->currentText(), capture.deviceName());
    }
    const QString selected = capture.deviceName() + '|' + listItemAt(capture.sizeList(), capture.sizeIndex()) + '|' +
                             listItemAt(capture.subtypeList(), capture.subtypeIndex());
    if (act)
        form.startCamera();
    capture.stop();
    return selected;
}

TEST(RememberedCamera, IsPreselectedByNameWhenTheDeviceListChangesOrder)
{
    TestContext t;
    FakeCameras cameras;
    cameras.cameras = {fakeCamera("a", QStringLiteral("Cam A")), fakeCamera("b", QStringLiteral("Cam B"))};
    EXPECT_EQ(selectionOnOpening(t, cameras,
                                 [](CaptureComponent& c) {
                                     c.setDeviceIndex(1);
                                     c.setSizeIndex(0);
                                     c.setSubtypeIndex(1);
                                 }),
              "Cam B|320 x 240|NV12");
    QFile file(SettingsFilePath(t.ctx, UnattendedSettingsFile()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        file.readAll().contains("CAMERA_DEVICE=Cam B\r\nCAMERA_VIDEO_SIZE=320 x 240\r\nCAMERA_SUBTYPE=NV12\r\n"))
        << "written at once, without Save";

    // The next start: the settings come from the file and the cameras are listed in another order.
    t.ctx.settings = SettingsDefaults::factorySettings();
    ASSERT_TRUE(LoadSettingsFile(t.ctx, UnattendedSettingsFile()));
    cameras.cameras = {fakeCamera("c", QStringLiteral("Cam C")), fakeCamera("b", QStringLiteral("Cam B")),
                       fakeCamera("a", QStringLiteral("Cam A"))};
    EXPECT_EQ(selectionOnOpening(t, cameras), "Cam B|320 x 240|NV12");
    cameras.cameras = {fakeCamera("a", QStringLiteral("Cam A"))};
    EXPECT_EQ(selectionOnOpening(t, cameras), "||") << "a camera that is gone selects nothing";
    t.ctx.settings.REMEMBER_CAMERA = false;
    cameras.cameras = {fakeCamera("b", QStringLiteral("Cam B"))};
    EXPECT_EQ(selectionOnOpening(t, cameras), "||");
}

TEST(StalledCameraWatch, RestartsAStalledCameraUntilPicturesReturnAndTheRecordNotesIt)
{
    TestContext t;
    FakeCameras cameras;
    cameras.cameras = {fakeCamera("a", QStringLiteral("Cam A"))};
    CaptureComponent capture(t.clock, t.dialogs, cameras);
    capture.setMotionDetection(true);
    capture.setDetectionGrid(QStringLiteral("5"));
    capture.setDeviceIndex(0);
    int restarts = 0;
    StalledCameraWatch watch(t.ctx, capture, [&] {
        ++restarts;
        capture.stop();
        capture.startLiveVideo();
    });
    LoggingEngine logging(t.ctx);
    logging.load();
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
                                                          {15, 1, "Camera stalled: no picture for 15 s"},
                                                          {20, 2, "Camera stalled: no picture for 20 s"},
                                                          {29.9, 2, "Camera stalled: no picture for 29 s"},
                                                          {30, 3, "Camera stalled: no picture for 30 s"}};
    double elapsed = 0;
    for (const auto& [seconds, restartsSoFar, status] : steps) {
        t.clock.advance(seconds - elapsed);
        elapsed = seconds;
        watch.check();
        EXPECT_EQ(restarts, restartsSoFar) << seconds;
        EXPECT_EQ(logging.display().Text13, status) << seconds;
    }
    ASSERT_TRUE(picture()) << "the restarted camera delivers again";
    EXPECT_EQ(logging.display().Text13, "Camera is Running");
    t.clock.advance(300 - elapsed);
    logging.tick();
    ASSERT_EQ(t.ctx.varGlobalDataArray.count(), 1);
    EXPECT_EQ(t.ctx.varGlobalDataArray.row(1).UserComment,
              "Camera stalled: no picture for 10 s; Camera picture back after 30 s");

    watch.cameraRunningChanged(false);
    t.clock.advance(100);
    watch.check();
    EXPECT_EQ(restarts, 3) << "a camera stopped from the screens is no stalled camera";
}

// The program on test services with the given unattended settings saved before it starts.
struct StartedApp
{
    explicit StartedApp(const std::function<void(TestContext&)>& before)
    {
        before(t);
        EXPECT_EQ(SaveUnattendedSettings(t.ctx), "");
        EXPECT_TRUE(app.Main());
    }
    ~StartedApp()
    {
        if (auto* camera = qobject_cast<CameraForm*>(app.window().screen(MenuItem::CameraSetup)))
            camera->capture().stop();
    }
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
        s.SIMULATED_LIGHT_DRIFT_PERCENT = 0;
    });
    MeteringContext& ctx = started.app.context();
    auto* camera = qobject_cast<CameraForm*>(started.app.window().screen(MenuItem::CameraSetup));
    ASSERT_NE(camera, nullptr);
    EXPECT_TRUE(ctx.blnGlobalCameraRunning);
    EXPECT_EQ(camera->capture().simulatedMeterSettings().powerWatts, 7200);
    SimulatedFrames frames(camera->capture(), started.t.clock);
    EXPECT_TRUE(frames.runUntil([&] { return ctx.trip.totalPulse >= 3; }, 12.0));
    EXPECT_TRUE(started.t.dialogs.shown.empty());
}

TEST(UnattendedStartup, WithTheOptionsOffAnUnfinishedRunIsLeftAsBefore)
{
    const QByteArray backup = "DateTime,Year\r\nnot read\r\n";
    StartedApp started([&](TestContext& t) {
        for (const QString& path : {t.ctx.paths.loggingRun, t.ctx.paths.dataStore}) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(backup);
        }
    });
    EXPECT_FALSE(started.app.context().blnGlobalLoggingRunning);
    EXPECT_EQ(started.app.window().screen(MenuItem::CameraSetup), nullptr);
    EXPECT_TRUE(started.t.dialogs.shown.empty());
    QFile f(started.t.ctx.paths.dataStore);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), backup);
}

} // namespace
