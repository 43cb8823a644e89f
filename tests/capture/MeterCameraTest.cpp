// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/MeterCamera.h"

#include "app/SettingsFile.h"
#include "app/UnattendedSettings.h"
#include "camera/MarkDetector.h"
#include "capture/CameraHealthWatch.h"
#include "capture/CaptureComponent.h"
#include "capture/FakeCameras.h"
#include "capture/SimulatedFrames.h"
#include "metering/CameraState.h"
#include "metering/LoggingEngine.h"
#include "support/TestContext.h"
#include "unattended/DeviceList.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The meter's camera over cameras with these names (ids alike), the remembered one selected; `choose`, when
// given, picks a camera and starts it. Returns "device|size|subtype" as selected by then.
QString selection(TestContext& t, const QStringList& names, const std::function<void(CaptureComponent&)>& choose = {})
{
    FakeCameras cameras;
    for (const QString& name : names)
        cameras.cameras << fakeCamera(name.toLatin1(), name);
    MeterCamera camera(t.ctx, &cameras);
    CaptureComponent& capture = camera.capture();
    camera.selectRememberedCamera();
    if (choose)
        choose(capture);
    const QString selected = capture.deviceName() + '|' + listItemAt(capture.sizeList(), capture.sizeIndex()) + '|' +
                             listItemAt(capture.subtypeList(), capture.subtypeIndex());
    if (choose)
        camera.start();
    camera.stop();
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

// One picture from the fake camera last opened; true once it was analysed.
bool picture(CaptureComponent& capture, FakeCameras& cameras)
{
    QSignalSpy analysed(&capture, &VideoCapture::frameAnalysed);
    cameras.lastStream->push(uniformFrame(QVideoFrameFormat::Format_NV12, {64, 48}, QColor(90, 90, 90)));
    return analysed.wait(5000);
}

// A camera started, watched and logging on, with the start-up options on (the parameter) or off.
struct WatchedCamera : ::testing::TestWithParam<bool>
{
    void SetUp() override
    {
        std::tie(t.ctx.settings.RESUME_LOGGING_AFTER_RESTART, t.ctx.settings.CAMERA_DEVICE) =
            std::tuple(GetParam(), QStringLiteral("Cam A"));
        cameras.plug(fakeCamera("a", QStringLiteral("Cam A")));
        ASSERT_TRUE(camera.startRememberedCamera() && logging.startButton() && picture(camera.capture(), cameras));
    }
    // At this many seconds after nine: the logging's tick and the watchdog's check.
    void at(double seconds)
    {
        t.clock.setTimer(9 * 3600 + seconds);
        logging.tick();
        camera.healthWatch().check();
    }
    QString status() { return logging.display().Text13; }
    QStringList comments()
    {
        QStringList out;
        for (qint32 row = 1; row <= t.ctx.varGlobalDataArray.count(); ++row)
            out << t.ctx.varGlobalDataArray.row(row).UserComment;
        return out;
    }

    TestContext t;
    FakeCameras cameras;
    MeterCamera camera{t.ctx, &cameras};
    LoggingEngine logging{t.ctx};
};

// With the start-up options on or off alike.
TEST_P(WatchedCamera, AStalledOneIsRestartedUntilPicturesReturnAndTheRecordNotesIt)
{
    QSignalSpy runs(&camera, &MeterCamera::runningChanged); // a restart stops the camera and starts it again
    // Seconds since the last picture -> restarts so far and the camera status on the logging screen.
    const std::tuple<double, int, const char*> steps[] = {{9.5, 0, "Camera is Running"},
                                                          {10, 1, "Camera stalled: no picture for 10 s"},
                                                          {20, 2, "Camera stalled: no picture for 20 s"}};
    for (const auto& [seconds, restarts, shown] : steps) {
        at(seconds);
        EXPECT_EQ(runs.count(), 2 * restarts) << seconds;
        EXPECT_EQ(status(), shown) << seconds;
    }
    ASSERT_TRUE(picture(camera.capture(), cameras)) << "the restarted camera delivers again";
    EXPECT_EQ(status(), "Camera is Running");
    at(300);
    EXPECT_EQ(comments(), QStringList{"Camera stalled: no picture for 10 s; Camera picture back after 20 s"});
}

TEST_P(WatchedCamera, ALostOneIsSaidInTheStatusAndEachRecordAndStartedAgainOnlyWhenUnattended)
{
    cameras.lastStream->fail(QStringLiteral("Device busy"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !t.ctx.blnGlobalCameraRunning; }));
    at(10);
    if (!GetParam()) {
        // A message box each time; neither the watchdog nor the camera plugged in again restarts it.
        ASSERT_TRUE(camera.startRememberedCamera());
        cameras.unplug("a");
        cameras.plug(fakeCamera("a2", QStringLiteral("Cam A")));
        at(20);
        EXPECT_FALSE(t.ctx.blnGlobalCameraRunning);
        EXPECT_EQ(t.dialogs.texts().filter("CAMERA DEVICE LOST!").size(), 2);
        return;
    }
    ASSERT_TRUE(t.ctx.blnGlobalCameraRunning && t.dialogs.shown.empty()) << "restarted by the watchdog, no box";
    EXPECT_EQ(status(), "Camera lost for 10 s: Cam A");
    ASSERT_TRUE(picture(camera.capture(), cameras));
    EXPECT_EQ(status(), "Camera is Running");

    QSignalSpy awaited(&camera.healthWatch(), &CameraHealthWatch::waitingForLostCamera);
    cameras.unplug("a");
    at(300);
    at(600);
    EXPECT_EQ(awaited.count(), 2) << "the service's watchdog is fed while the camera is awaited";
    EXPECT_EQ(status(), "Camera lost for 590 s: Cam A");
    EXPECT_EQ(comments(), QStringList({"Camera back after 10 s; Camera lost: Cam A", "Camera lost: Cam A"}));
    // Plugged in again it comes back under another id, as a USB camera does.
    cameras.plug(fakeCamera("a2", QStringLiteral("Cam A")));
    ASSERT_TRUE(t.ctx.blnGlobalCameraRunning && picture(camera.capture(), cameras));
    EXPECT_EQ(status(), "Camera is Running");
    at(900);
    EXPECT_EQ(awaited.count(), 2);
    EXPECT_EQ(comments().last(), "Camera back after 590 s");
    EXPECT_TRUE(t.dialogs.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Unattended, WatchedCamera, ::testing::Bool());

TEST(UnattendedStartup, ARememberedCameraNotPluggedInIsAwaitedAndStartsInItsFormatsWhenItComes)
{
    TestContext t;
    FakeCameras cameras;
    MeterCamera camera{t.ctx, &cameras};
    GlobalSettings& s = t.ctx.settings;
    std::tie(s.START_CAMERA_AT_STARTUP, s.CAMERA_DEVICE, s.CAMERA_VIDEO_SIZE, s.CAMERA_SUBTYPE) =
        std::tuple(true, QStringLiteral("Cam A"), QStringLiteral("320 x 240"), QStringLiteral("NV12"));
    ASSERT_TRUE(!camera.startRememberedCamera() && camera.awaitRememberedCamera());
    EXPECT_EQ(CameraStateOf(t.ctx), CameraState::Lost);
    cameras.plug(fakeCamera("a", QStringLiteral("Cam A")));
    ASSERT_TRUE(t.ctx.blnGlobalCameraRunning && picture(camera.capture(), cameras));
    EXPECT_EQ(std::tuple(cameras.lastFormat.resolution, cameras.lastFormat.pixelFormat),
              std::tuple(QSize(320, 240), QVideoFrameFormat::Format_NV12));
    EXPECT_TRUE(t.dialogs.shown.empty());
}

} // namespace

// The simulated meter started and stopped with no screen at all: the meter's source while it runs, and remembered.
// Its register stands where the same meter would after a start-up, and a stop and a start go on from where it
// stood, never back to its first reading.
TEST(MeterCamera, TheSimulatedMeterIsTheMetersSourceWhileItRunsAndItsRegisterGoesOnAcrossAStop)
{
    TestContext t;
    FakeCameras cameras;
    MeterCamera camera(t.ctx, &cameras);
    QSignalSpy running(&camera, &MeterCamera::runningChanged);
    CaptureComponent& capture = camera.capture();
    SimulatedFrames frames(capture, t.clock);
    capture.setDeviceIndex(capture.simulatedMeterIndex());
    SimulatedMeterSettings meter = capture.simulatedMeterSettings();
    meter.powerWatts = 36000.0; // 0.01 kWh a second
    capture.setSimulatedMeterSettings(meter);
    camera.start();
    ASSERT_TRUE(camera.running() && t.ctx.blnGlobalCameraRunning);
    EXPECT_EQ(camera.detector().meterSource().kind, MeterSource::Kind::SimulatedMeter);
    EXPECT_EQ(t.ctx.settings.CAMERA_DEVICE, MeterSource::SimulatedMeterDevice) << "remembered as it started";
    const SimulatedMeterSettings shown = capture.simulatedMeterSettings();
    ASSERT_TRUE(shown.registerShown);
    const double hours = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC).secsTo(t.clock.now()) / 3600.0;
    EXPECT_NEAR(shown.registerKWh, 4000.0 + hours, 1e-6);
    ASSERT_TRUE(frames.run(10.0));
    const double stood = SimulatedMeter(shown).registerReadingAt(capture.simulatedSeconds());
    EXPECT_NEAR(stood - shown.registerKWh, 0.1, 0.01);
    camera.stop();
    EXPECT_FALSE(camera.running() || t.ctx.blnGlobalCameraRunning || !camera.detector().meterSource().isNone());
    EXPECT_EQ(running.size(), 2);
    camera.start();
    EXPECT_DOUBLE_EQ(capture.simulatedMeterSettings().registerKWh, stood);
}
