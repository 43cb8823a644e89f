// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/CaptureComponent.h"

#include "capture/FakeCameras.h"
#include "support/TestContext.h"

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
    int framesOnUiThread = 0, framesElsewhere = 0;

    explicit Component(QList<CameraInfo> plugged = {fakeCamera("a", QStringLiteral("Cam A"))})
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

    // Camera "a" started with the given grid.
    FakeCameraStream& startCamera(const QString& grid)
    {
        c().setDetectionGrid(grid);
        c().setDeviceIndex(0);
        c().startLiveVideo();
        return *cameras.lastStream;
    }
    // Waits until the capture thread has handed over `count` frames in all.
    bool waitForFrames(int count)
    {
        return QTest::qWaitFor([&] { return framesOnUiThread >= count; }, 5000);
    }
};
} // namespace

TEST(CaptureComponent, ListsAreCrLfTextsWithZeroBasedIndexesAndTheGrantedFrameRateFollowsTheFormat)
{
    Component t({fakeCamera("a", QStringLiteral("Cam A")), fakeCamera("b", QStringLiteral("Cam B"))});
    CaptureComponent& c = t.c();
    EXPECT_EQ(c.deviceList(), "Cam A" + Eol + "Cam B" + Eol + "Simulated meter" + Eol + "Video file..." + Eol);
    EXPECT_EQ(std::tuple(c.deviceIndex(), c.sizeList()), std::tuple(-1, QString()));
    QSignalSpy selected(&c, &VideoCapture::videoDeviceSelected);
    c.setDeviceIndex(c.simulatedMeterIndex());
    EXPECT_EQ(c.sizeList() + c.subtypeList(),
              "160 x 120" + Eol + "320 x 240" + Eol + "640 x 480" + Eol + "RGB32" + Eol);
    c.setDeviceIndex(9);
    EXPECT_EQ(c.deviceIndex(), -1);
    c.setDeviceIndex(1);
    EXPECT_EQ(std::tuple(c.deviceName(), selected.count()), std::tuple(QString("Cam B"), 3));
    // Sizes sorted, VGA preselected; subtypes in the camera's order.
    EXPECT_EQ(c.sizeList() + c.subtypeList() + c.inputList(), "320 x 240" + Eol + "640 x 480" + Eol + "1280 x 720" +
                                                                  Eol + "YUYV" + Eol + "NV12" + Eol + "Video input" +
                                                                  Eol);
    EXPECT_EQ(c.sizeIndex(), 1);
    c.setFrameRate(50);
    EXPECT_EQ(c.frameRate(), 30.0); // YUYV 640 x 480 goes up to 30
    c.setSubtypeIndex(1);
    c.setFrameRate(std::nan(""));
    EXPECT_EQ(c.frameRate(), 15.0); // NV12 only to 15
    c.startLiveVideo();
    EXPECT_TRUE(is_camera_running(c) && t.cameras.lastStream->started);
    EXPECT_EQ(std::tuple(t.cameras.lastFormat.resolution, t.cameras.lastFormat.pixelFormat, c.state()),
              std::tuple(QSize(640, 480), QVideoFrameFormat::Format_NV12, VideoCapture::StatePreview));
}

TEST(CaptureComponent, EveryFrameReachesTheUiThreadEvenWhenItWasBusyButNoneOfAnEarlierRun)
{
    Component t;
    t.c().setSimulatedMeterSettings({.width = 16, .height = 12});
    t.c().setDeviceIndex(t.c().simulatedMeterIndex());
    t.c().startLiveVideo();
    for (int i = 0; i < 10; ++i)
        t.c().renderSimulatedFrame();
    QThread::msleep(300); // all ten tables wait in the UI thread's queue
    t.c().stop();
    t.c().startLiveVideo();
    QTest::qWait(100);
    EXPECT_EQ(t.framesOnUiThread, 0);
    // A busy UI thread on the simulated meter is driven by the Find Mark run with a blocked UI; here a camera.
    FakeCameraStream& stream = t.startCamera(QStringLiteral("5"));
    for (int i = 0; i < 25; ++i)
        stream.push(uniformFrame(QVideoFrameFormat::Format_NV12, {64, 48}, QColor(90, 90, 90)));
    QThread::msleep(300); // the UI thread is busy while the capture thread works through all 25 frames
    ASSERT_TRUE(t.waitForFrames(25));
    QTest::qWait(50);
    EXPECT_EQ(std::tuple(t.framesOnUiThread, t.framesElsewhere), std::tuple(25, 0));
}

TEST(CaptureComponent, EveryDirectPixelFormatGivesTheCellColourAndTheTextFollowsTheGridAndTheChannels)
{
    Component t;
    CaptureComponent& c = t.c();
    FakeCameraStream& stream = t.startCamera(QStringLiteral("105 09"));
    EXPECT_EQ(c.gridDisplayText(), "105" + Eol + "090" + Eol);
    using F = QVideoFrameFormat;
    int expected = 0;
    for (F::PixelFormat f :
         {F::Format_YUV420P, F::Format_YV12, F::Format_NV12, F::Format_NV21, F::Format_YUYV, F::Format_UYVY,
          F::Format_XRGB8888, F::Format_BGRX8888, F::Format_XBGR8888, F::Format_RGBX8888}) {
        SCOPED_TRACE(F::pixelFormatToString(f).toStdString());
        const QVideoFrame frame = uniformFrame(f, {34, 26}, QColor(200, 120, 40));
        ASSERT_TRUE(frame.isValid());
        stream.push(frame);
        ASSERT_TRUE(t.waitForFrames(++expected));
        // YUV (the first six) goes through 8-bit luma and chroma: within 2 grey levels. Packed RGB is exact.
        const int tolerance = expected <= 6 ? 2 : 0;
        for (int cell = 0; cell < 6; ++cell)
            for (auto [ch, value] : {std::pair{0, 200}, {1, 120}, {2, 40}})
                EXPECT_NEAR(c.cellValue(ch, cell % 3, cell / 3), value, tolerance) << "channel " << ch;
    }
    // The run's first frame is in the live view at once, drawn at the display size.
    c.setDisplaySize(40, 30, false);
    c.stop();
    c.startLiveVideo();
    t.cameras.lastStream->push(uniformFrame(F::Format_NV12, {34, 26}, QColor(200, 120, 40)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return c.previewImage().size() == QSize(40, 30); }, 5000));
    const QColor shown = c.previewImage().pixelColor(20, 15);
    EXPECT_LE(std::abs(shown.red() - 200) + std::abs(shown.green() - 120) + std::abs(shown.blue() - 40), 6);
    // Active cells show the mean of the compared channels, inactive ones a dot.
    EXPECT_EQ(c.currentCellValuesText(), " 120   . 120" + Eol + "   . 120   ." + Eol);
    c.setCompareRed(false);
    c.setCompareGreen(false);
    EXPECT_EQ(c.currentCellValuesText(), "  40   .  40" + Eol + "   .  40   ." + Eol);
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
    EXPECT_EQ(plugged.takeFirst(), (QVariantList{true, true, QStringLiteral("Cam C")}));

    // A camera before the selected one goes: the selection follows it to its new index.
    t.cameras.unplug("a");
    EXPECT_EQ(plugged.takeFirst(), (QVariantList{false, true, QStringLiteral("Cam A")}));
    EXPECT_EQ(std::tuple(c.deviceIndex(), c.deviceName(), selected.count()), std::tuple(0, QString("Cam B"), 0));

    // The selected camera goes while stopped: nothing selected, announced as a selection change, not lost.
    t.cameras.unplug("b");
    EXPECT_EQ(std::tuple(c.deviceIndex(), selected.count(), lost.count()), std::tuple(-1, 1, 0));

    // The running camera goes: stopped and lost.
    c.setDeviceIndex(0);
    c.startLiveVideo();
    ASSERT_TRUE(is_camera_running(c));
    t.cameras.unplug("c");
    EXPECT_EQ(std::tuple(is_camera_running(c), selected.count(), lost.count()), std::tuple(false, 3, 1));

    // The simulated meter stays selected while cameras come and go in front of it.
    c.setDeviceIndex(c.simulatedMeterIndex());
    t.cameras.plug(fakeCamera("d", QStringLiteral("Cam D")));
    EXPECT_EQ(std::tuple(c.deviceIndex(), c.deviceName()), std::tuple(1, QString("Simulated meter")));
}

TEST(CaptureComponent, FailingCamerasAndVideoFilesStopWithOneMessageEach)
{
    QTemporaryDir dir;
    Component t;
    CaptureComponent& c = t.c();
    QSignalSpy lost(&c, &VideoCapture::deviceLost);
    t.startCamera(QStringLiteral("5")).fail(QStringLiteral("device busy"));
    EXPECT_TRUE(lost.wait(2000));
    EXPECT_FALSE(is_camera_running(c) || !t.dialogs.texts().isEmpty()) << "stopped, reported by the signal alone";
    const QString reason = lost.at(0).at(0).toString();
    EXPECT_TRUE(reason.contains(QStringLiteral("device busy")) && reason.contains(QStringLiteral("/dev/video")));

    // Gone between listing and starting: a message, and still stopped.
    t.cameras.cameras.clear();
    c.startLiveVideo();
    EXPECT_EQ(std::tuple(is_camera_running(c), t.dialogs.texts()),
              std::tuple(false, QStringList{"The camera \"Cam A\" cannot be opened."}));

    auto play = [&](const QString& file) {
        t.dialogs.setNextFileName(file);
        c.setDeviceIndex(c.videoFileIndex());
        c.startLiveVideo();
    };
    play(QString());
    EXPECT_FALSE(is_camera_running(c));
    EXPECT_EQ(t.dialogs.texts().back(), "No video file has been chosen. Select \"Video file...\" again to choose one.");
    const QString missing = dir.filePath(QStringLiteral("missing.avi"));
    const int lostBefore = lost.count();
    play(missing);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lost.count() == lostBefore + 1; }, 2000));
    EXPECT_EQ(t.dialogs.texts().back(),
              QStringLiteral("Couldn't play the video file %1: the file does not exist.").arg(missing));

    const QString corrupt = dir.filePath(QStringLiteral("corrupt.avi"));
    ASSERT_TRUE(writeFileBytes(corrupt, QByteArray("RIFF\x10\0\0\0AVI LIST", 16) + QByteArray(4000, '\x5a')));
    play(corrupt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lost.count() > lostBefore + 1 && !is_camera_running(c); }, 30000));
    QTest::qWait(100);
    const QStringList about = t.dialogs.texts().filter(corrupt);
    ASSERT_EQ(about.size(), 1) << "one message however many ways the player reports it";
    EXPECT_TRUE(about[0].startsWith(QStringLiteral("Couldn't play the video file %1: ").arg(corrupt)));
}
