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

#include <QTest>
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
    ASSERT_NE(started.camera(), nullptr);
    MeteringContext& ctx = started.app.context();
    EXPECT_EQ(ctx.settings.SIMULATED_POWER_WATTS, 1000) << "the factory value of a key the file lacks";
    SimulatedFrames frames(started.camera()->capture(), started.t.clock);
    EXPECT_TRUE(frames.runUntil([&] { return ctx.trip.totalPulse >= 2; }, 30.0));
    EXPECT_EQ(started.t.dialogs.texts() + started.t.dialogs.noticeTexts(), QStringList());
    started.camera()->capture().stop();
    EXPECT_EQ(SaveUnattendedSettings(ctx), "");
    EXPECT_TRUE(fileBytes(SettingsFilePath(ctx, UnattendedSettingsFile()))
                    .contains("CAMERA_VIDEO_FILE=\r\n\r\n[Simulated Meter]\r\nSIMULATED_POWER_WATTS=1000\r\n"));
}

// A camera started and logged on; `lose` makes it go away. Running unattended, the loss is said in the camera
// status and in each record, and the camera is started again by the watchdog or when plugged in again; otherwise
// a message box says it and nothing restarts it.
class LostCamera : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        t.ctx.settings.RESUME_LOGGING_AFTER_RESTART = GetParam();
        t.ctx.settings.CAMERA_DEVICE = QStringLiteral("Cam A");
        cameras.plug(fakeCamera("a", QStringLiteral("Cam A")));
        ASSERT_TRUE(form.startRememberedCamera());
        ASSERT_TRUE(logging.startButton());
        ASSERT_TRUE(picture());
    }
    bool picture()
    {
        QSignalSpy analysed(&form.capture(), &VideoCapture::frameAnalysed);
        cameras.lastStream->push(uniformFrame(QVideoFrameFormat::Format_NV12, {64, 48}, QColor(90, 90, 90)));
        return analysed.wait(5000);
    }
    // At this many seconds after nine: the logging's tick and the watchdog's check.
    void at(double seconds)
    {
        t.clock.setTimer(9 * 3600 + seconds);
        logging.tick();
        form.findChild<StalledCameraWatch*>()->check();
    }
    QString status() { return logging.display().Text13; }
    QString lastComment() { return t.ctx.varGlobalDataArray.row(t.ctx.varGlobalDataArray.count()).UserComment; }

    TestContext t;
    FakeCameras cameras;
    CameraForm form{t.ctx,
                    [this](CameraForm& f) -> QDialog* {
                        return new StartCameraForm(t.ctx, f.capture(), f.detector(), &f);
                    },
                    &cameras};
    LoggingEngine logging{t.ctx};
};

TEST_P(LostCamera, AFailedStreamIsStartedAgainByTheWatchdogOnlyWhenUnattended)
{
    cameras.lastStream->fail(QStringLiteral("Device busy"));
    QTRY_VERIFY(!t.ctx.blnGlobalCameraRunning);
    at(10);
    if (!GetParam()) {
        EXPECT_EQ(t.dialogs.texts(), QStringList{"CAMERA DEVICE LOST!\n\nThe camera \"Cam A\" stopped: Device busy.\n\n"
                                                 "If another program is using it, close that program. If you may not "
                                                 "open the camera (/dev/video*), add your user to the \"video\" group "
                                                 "and log in again."});
        EXPECT_FALSE(t.ctx.blnGlobalCameraRunning);
        EXPECT_EQ(status(), "Camera is NOT RUNNING");
        return;
    }
    EXPECT_TRUE(t.dialogs.shown.empty());
    EXPECT_TRUE(t.ctx.blnGlobalCameraRunning && cameras.lastStream->started) << "restarted after 10 s";
    EXPECT_EQ(status(), "Camera lost for 10 s: Cam A");
    ASSERT_TRUE(picture());
    EXPECT_EQ(status(), "Camera is Running");
    at(300);
    EXPECT_EQ(lastComment(), "Camera back after 10 s");
}

TEST_P(LostCamera, AnUnpluggedCameraIsNotedInEachRecordAndStartedWhenItsNameIsPluggedInAgain)
{
    cameras.unplug("a");
    at(5);
    if (!GetParam()) {
        EXPECT_EQ(t.dialogs.texts(), QStringList{"CAMERA DEVICE LOST!\n\nThe camera is no longer connected."});
        cameras.plug(fakeCamera("a2", QStringLiteral("Cam A")));
        EXPECT_FALSE(t.ctx.blnGlobalCameraRunning);
        return;
    }
    EXPECT_TRUE(t.dialogs.shown.empty());
    EXPECT_EQ(status(), "Camera lost for 5 s: Cam A");
    at(300);
    at(600);
    EXPECT_EQ(t.ctx.varGlobalDataArray.count(), 2);
    EXPECT_EQ(lastComment(), "Camera lost: Cam A");
    EXPECT_EQ(t.ctx.varGlobalDataArray.row(1).UserComment, "Camera lost: Cam A");
    EXPECT_FALSE(t.ctx.blnGlobalCameraRunning) << "the watchdog tried without a camera to start";

    // Plugged in again, it comes back under another id, as a USB camera does.
    cameras.plug(fakeCamera("a2", QStringLiteral("Cam A")));
    EXPECT_TRUE(t.ctx.blnGlobalCameraRunning && cameras.lastStream->started);
    at(605);
    ASSERT_TRUE(picture());
    EXPECT_EQ(status(), "Camera is Running");
    at(900);
    EXPECT_EQ(lastComment(), "Camera back after 605 s");
}

INSTANTIATE_TEST_SUITE_P(Unattended, LostCamera, ::testing::Bool());

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
