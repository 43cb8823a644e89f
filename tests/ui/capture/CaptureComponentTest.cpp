// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/CaptureComponent.h"

#include "FakeCameras.h"
#include "support/FakeClock.h"
#include "support/ScriptedDialogs.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

namespace {
const QString Eol = QStringLiteral("\r\n");

struct Component
{
    FakeClock clock;
    ScriptedDialogs dialogs;
    FakeCameras cameras;
    std::unique_ptr<CaptureComponent> capture;
    int framesOnUiThread = 0;
    int framesElsewhere = 0;

    explicit Component(QList<CameraInfo> plugged = {})
    {
        cameras.cameras = plugged;
        capture = std::make_unique<CaptureComponent>(clock, dialogs, cameras);
        QObject::connect(capture.get(), &VideoCapture::frameAnalysed, [this] {
            (QThread::currentThread() == qApp->thread() ? framesOnUiThread : framesElsewhere) += 1;
        });
        capture->setMotionDetection(true);
        capture->setSimulatedMeterFreeRunning(false);
    }
    CaptureComponent& c() { return *capture; }

    void startSimulated()
    {
        c().setDetectionGrid(QStringLiteral("55 55"));
        SimulatedMeterSettings s;
        s.width = 16;
        s.height = 12;
        s.noise = 0;
        s.drift = 0;
        c().setSimulatedMeterSettings(s);
        c().setDeviceIndex(c().simulatedMeterIndex());
        c().startLiveVideo();
    }
    // Waits until the capture thread has handed over `count` frames in all.
    bool waitForFrames(int count)
    {
        return QTest::qWaitFor([&] { return framesOnUiThread >= count; }, 5000);
    }
};
} // namespace

TEST(CaptureComponent, ListsAreCrLfTextsWithZeroBasedIndexes)
{
    Component t({fakeCamera("a", QStringLiteral("Cam A")), fakeCamera("b", QStringLiteral("Cam B"))});
    CaptureComponent& c = t.c();
    EXPECT_EQ(c.deviceList(), "Cam A" + Eol + "Cam B" + Eol + "Simulated meter" + Eol + "Video file..." + Eol);
    EXPECT_EQ(c.deviceIndex(), -1);
    EXPECT_EQ(c.deviceName(), "");
    EXPECT_EQ(c.sizeIndex(), -1);
    EXPECT_EQ(c.inputIndex(), -1);
    EXPECT_EQ(c.sizeList(), "");

    QSignalSpy selected(&c, &VideoCapture::videoDeviceSelected);
    c.setDeviceIndex(1);
    EXPECT_EQ(selected.count(), 1);
    EXPECT_EQ(c.deviceName(), "Cam B");
    // Sizes sorted, VGA preselected; subtypes in the camera's order.
    EXPECT_EQ(c.sizeList(), "320 x 240" + Eol + "640 x 480" + Eol + "1280 x 720" + Eol);
    EXPECT_EQ(c.sizeIndex(), 1);
    EXPECT_EQ(c.subtypeList(), "YUYV" + Eol + "NV12" + Eol);
    EXPECT_EQ(c.subtypeIndex(), 0);
    EXPECT_EQ(c.inputList(), "Video input" + Eol);
    EXPECT_EQ(c.inputIndex(), 0);
    c.setSizeIndex(7);
    EXPECT_EQ(c.sizeIndex(), -1);

    c.setDeviceIndex(c.simulatedMeterIndex());
    EXPECT_EQ(c.deviceIndex(), 2);
    EXPECT_EQ(c.deviceName(), "Simulated meter");
    EXPECT_EQ(c.sizeList(), "160 x 120" + Eol + "320 x 240" + Eol + "640 x 480" + Eol);
    EXPECT_EQ(c.subtypeList(), "RGB32" + Eol);
    c.setDeviceIndex(9);
    EXPECT_EQ(c.deviceIndex(), -1);
    EXPECT_EQ(selected.count(), 3);
}

TEST(CaptureComponent, StateAndGrantedFrameRate)
{
    Component t({fakeCamera("a", QStringLiteral("Cam A"))});
    CaptureComponent& c = t.c();
    EXPECT_EQ(c.state(), VideoCapture::StateStopped);
    EXPECT_FALSE(is_camera_running(c));

    c.setDeviceIndex(0);
    c.setFrameRate(50);
    EXPECT_EQ(c.frameRate(), 30.0); // YUYV 640 x 480 goes up to 30
    c.setSubtypeIndex(1);
    EXPECT_EQ(c.frameRate(), 15.0); // NV12 only to 15
    c.setFrameRate(std::nan(""));
    EXPECT_EQ(c.frameRate(), 15.0);
    c.startLiveVideo();
    EXPECT_TRUE(is_camera_running(c));
    ASSERT_NE(t.cameras.lastStream, nullptr);
    EXPECT_TRUE(t.cameras.lastStream->started);
    EXPECT_EQ(t.cameras.lastFormat.resolution, QSize(640, 480));
    EXPECT_EQ(t.cameras.lastFormat.pixelFormat, QVideoFrameFormat::Format_NV12);
    c.stop();
    EXPECT_EQ(c.state(), VideoCapture::StateStopped);

    c.setDeviceIndex(c.simulatedMeterIndex());
    c.setFrameRate(100);
    EXPECT_EQ(c.frameRate(), 60.0);
    c.setFrameRate(25);
    EXPECT_EQ(c.frameRate(), 25.0);
    c.startLiveVideo();
    EXPECT_EQ(c.state(), VideoCapture::StatePreview);
    EXPECT_TRUE(is_camera_running(c));
}

TEST(CaptureComponent, EveryFrameIsRaisedOnTheUiThreadEvenWhenItWasBusy)
{
    Component t;
    t.startSimulated();
    for (int i = 0; i < 40; ++i) {
        t.clock.advance(0.04);
        t.c().renderSimulatedFrame();
    }
    // The UI thread is busy while the capture thread works through all 40 frames.
    QThread::msleep(400);
    EXPECT_EQ(t.framesOnUiThread, 0);
    ASSERT_TRUE(t.waitForFrames(40));
    QTest::qWait(50);
    EXPECT_EQ(t.framesOnUiThread, 40);
    EXPECT_EQ(t.framesElsewhere, 0);

    // The same through a camera stream.
    Component cam({fakeCamera("a", QStringLiteral("Cam A"))});
    cam.c().setDetectionGrid(QStringLiteral("5"));
    cam.c().setDeviceIndex(0);
    cam.c().startLiveVideo();
    for (int i = 0; i < 25; ++i)
        cam.cameras.lastStream->push(uniformFrame(QVideoFrameFormat::Format_NV12, {64, 48}, QColor(90, 90, 90)));
    QThread::msleep(300);
    ASSERT_TRUE(cam.waitForFrames(25));
    QTest::qWait(50);
    EXPECT_EQ(cam.framesOnUiThread, 25);
}

TEST(CaptureComponent, FramesOfAnEarlierRunNeverReachTheDetector)
{
    Component t;
    t.startSimulated();
    for (int i = 0; i < 10; ++i)
        t.c().renderSimulatedFrame();
    QThread::msleep(300); // all ten tables wait in the UI thread's queue
    t.c().stop();
    t.c().startLiveVideo();
    QTest::qWait(100);
    EXPECT_EQ(t.framesOnUiThread, 0);
    t.c().renderSimulatedFrame();
    ASSERT_TRUE(t.waitForFrames(1));
    QTest::qWait(50);
    EXPECT_EQ(t.framesOnUiThread, 1);
    EXPECT_EQ(t.c().deviceIndex(), t.c().simulatedMeterIndex());
}

TEST(CaptureComponent, EveryDirectPixelFormatGivesTheCellColour)
{
    Component t({fakeCamera("a", QStringLiteral("Cam A"))});
    CaptureComponent& c = t.c();
    c.setDetectionGrid(QStringLiteral("11 11"));
    c.setDeviceIndex(0);
    c.startLiveVideo();
    const QColor colour(200, 120, 40);
    int expected = 0;
    // YUV goes through 8-bit luma and chroma: within 2 grey levels. Packed RGB is exact.
    const std::pair<QVideoFrameFormat::PixelFormat, int> formats[] = {
        {QVideoFrameFormat::Format_XRGB8888, 0}, {QVideoFrameFormat::Format_BGRX8888, 0},
        {QVideoFrameFormat::Format_XBGR8888, 0}, {QVideoFrameFormat::Format_RGBX8888, 0},
        {QVideoFrameFormat::Format_YUV420P, 2},  {QVideoFrameFormat::Format_YV12, 2},
        {QVideoFrameFormat::Format_NV12, 2},     {QVideoFrameFormat::Format_NV21, 2},
        {QVideoFrameFormat::Format_YUYV, 2},     {QVideoFrameFormat::Format_UYVY, 2}};
    for (const auto& [f, tolerance] : formats) {
        const QVideoFrame frame = uniformFrame(f, {34, 26}, colour);
        ASSERT_TRUE(frame.isValid()) << QVideoFrameFormat::pixelFormatToString(f).toStdString();
        t.cameras.lastStream->push(frame);
        ASSERT_TRUE(t.waitForFrames(++expected));
        for (int ch = 0; ch < 3; ++ch)
            for (int cell = 0; cell < 4; ++cell)
                EXPECT_NEAR(c.cellValue(ch, cell % 2, cell / 2),
                            (ch == 0   ? 200
                             : ch == 1 ? 120
                                       : 40),
                            tolerance)
                    << QVideoFrameFormat::pixelFormatToString(f).toStdString() << " channel " << ch;
    }
}

TEST(CaptureComponent, GridAcceptedDisplayTextAndCellValuesText)
{
    Component t;
    CaptureComponent& c = t.c();
    c.setDetectionGrid(QStringLiteral("105 09"));
    EXPECT_TRUE(c.gridAccepted());
    EXPECT_EQ(c.gridColumns(), 3);
    EXPECT_EQ(c.gridRows(), 2);
    EXPECT_EQ(c.gridDisplayText(), "105" + Eol + "090" + Eol);
    for (const QString& bad : {QStringLiteral(""), QStringLiteral("   "), QStringLiteral("12a3"),
                               QStringLiteral("5\t5"), QString(513, u'5')}) {
        c.setDetectionGrid(bad);
        EXPECT_FALSE(c.gridAccepted()) << bad.toStdString();
        EXPECT_EQ(c.detectionGrid(), "105 09"); // a refused grid leaves the one in use
    }
    c.setDetectionGrid(QStringLiteral("1"));
    EXPECT_TRUE(c.gridAccepted());

    // One colour everywhere: active cells show the mean of the compared channels, inactive ones a dot.
    Component cam({fakeCamera("a", QStringLiteral("Cam A"))});
    cam.c().setDetectionGrid(QStringLiteral("105 09"));
    cam.c().setDeviceIndex(0);
    cam.c().startLiveVideo();
    cam.cameras.lastStream->push(uniformFrame(QVideoFrameFormat::Format_BGRX8888, {30, 20}, QColor(30, 60, 90)));
    ASSERT_TRUE(cam.waitForFrames(1));
    EXPECT_EQ(cam.c().currentCellValuesText(), "  60   .  60" + Eol + "   .  60   ." + Eol);
    cam.c().setCompareRed(false);
    cam.c().setCompareGreen(false);
    EXPECT_EQ(cam.c().currentCellValuesText(), "  90   .  90" + Eol + "   .  90   ." + Eol);
}

TEST(CaptureComponent, HotPlugEventsAndTheSelectionThatFollows)
{
    Component t({fakeCamera("a", QStringLiteral("Cam A")), fakeCamera("b", QStringLiteral("Cam B"))});
    CaptureComponent& c = t.c();
    QSignalSpy plugged(&c, &VideoCapture::deviceAddedOrRemoved);
    QSignalSpy selected(&c, &VideoCapture::videoDeviceSelected);
    QSignalSpy lost(&c, &VideoCapture::deviceLost);

    c.setDeviceIndex(1);
    selected.clear();
    t.cameras.plug(fakeCamera("c", QStringLiteral("Cam C")));
    ASSERT_EQ(plugged.count(), 1);
    EXPECT_EQ(plugged[0], (QVariantList{true, true, QStringLiteral("Cam C")}));
    EXPECT_EQ(c.deviceName(), "Cam B");

    // A camera before the selected one goes: the selection follows it to its new index.
    t.cameras.unplug("a");
    EXPECT_EQ(plugged.count(), 2);
    EXPECT_EQ(plugged[1], (QVariantList{false, true, QStringLiteral("Cam A")}));
    EXPECT_EQ(c.deviceIndex(), 0);
    EXPECT_EQ(c.deviceName(), "Cam B");
    EXPECT_EQ(selected.count(), 0);

    // The selected camera goes while stopped: nothing selected, announced as a selection change, not lost.
    t.cameras.unplug("b");
    EXPECT_EQ(c.deviceIndex(), -1);
    EXPECT_EQ(c.sizeList(), "");
    EXPECT_EQ(selected.count(), 1);
    EXPECT_EQ(lost.count(), 0);

    // The running camera goes: stopped and lost.
    c.setDeviceIndex(0);
    c.startLiveVideo();
    ASSERT_TRUE(is_camera_running(c));
    selected.clear();
    t.cameras.unplug("c");
    EXPECT_FALSE(is_camera_running(c));
    EXPECT_EQ(selected.count(), 1);
    EXPECT_EQ(lost.count(), 1);
    EXPECT_EQ(c.deviceList(), "Simulated meter" + Eol + "Video file..." + Eol);

    // The simulated meter stays selected while cameras come and go in front of it.
    c.setDeviceIndex(c.simulatedMeterIndex());
    t.cameras.plug(fakeCamera("d", QStringLiteral("Cam D")));
    EXPECT_EQ(c.deviceIndex(), 1);
    EXPECT_EQ(c.deviceName(), "Simulated meter");
}

TEST(CaptureComponent, AFailingCameraIsStoppedAndReportedLost)
{
    Component t({fakeCamera("a", QStringLiteral("Cam A"))});
    CaptureComponent& c = t.c();
    QSignalSpy lost(&c, &VideoCapture::deviceLost);
    c.setDeviceIndex(0);
    c.startLiveVideo();
    t.cameras.lastStream->fail(QStringLiteral("device busy"));
    EXPECT_TRUE(lost.wait(2000));
    EXPECT_FALSE(is_camera_running(c));
    EXPECT_TRUE(t.dialogs.texts().isEmpty());

    // Gone between listing and starting: a message, and still stopped.
    t.cameras.cameras.clear();
    c.startLiveVideo();
    EXPECT_FALSE(is_camera_running(c));
    EXPECT_EQ(t.dialogs.texts(), QStringList{QStringLiteral("The camera \"Cam A\" cannot be opened.")});
}

TEST(CaptureComponent, VideoFileThatCannotBePlayedGivesAMessage)
{
    QTemporaryDir dir;
    Component t;
    CaptureComponent& c = t.c();
    QSignalSpy lost(&c, &VideoCapture::deviceLost);

    t.dialogs.setNextFileName(QString());
    c.setDeviceIndex(c.videoFileIndex());
    c.startLiveVideo();
    EXPECT_FALSE(is_camera_running(c));
    EXPECT_EQ(t.dialogs.texts().back(),
              QStringLiteral("No video file has been chosen. Select \"Video file...\" again to choose one."));

    const QString missing = dir.filePath(QStringLiteral("missing.avi"));
    t.dialogs.setNextFileName(missing);
    c.setDeviceIndex(c.videoFileIndex());
    c.startLiveVideo();
    ASSERT_TRUE(lost.wait(2000));
    EXPECT_FALSE(is_camera_running(c));
    EXPECT_EQ(t.dialogs.texts().back(),
              QStringLiteral("Couldn't play the video file %1: the file does not exist.").arg(missing));

    const QString corrupt = dir.filePath(QStringLiteral("corrupt.avi"));
    {
        QFile f(corrupt);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("RIFF\x10\0\0\0AVI LIST", 16) + QByteArray(4000, '\x5a'));
    }
    t.dialogs.setNextFileName(corrupt);
    c.setDeviceIndex(c.videoFileIndex());
    c.startLiveVideo();
    ASSERT_TRUE(QTest::qWaitFor([&] { return lost.count() == 2; }, 10000));
    EXPECT_FALSE(is_camera_running(c));
    QTest::qWait(100);
    const QStringList about = t.dialogs.texts().filter(corrupt);
    ASSERT_EQ(about.size(), 1) << "one message however many ways the player reports it";
    EXPECT_TRUE(about[0].startsWith(QStringLiteral("Couldn't play the video file %1: ").arg(corrupt)))
        << about[0].toStdString();
}
