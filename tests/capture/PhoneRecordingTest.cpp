// SPDX-License-Identifier: GPL-3.0-or-later
// Recordings as phones make them (H.264 High profile in MP4, H.265 in MOV or MKV; 4:2:0, 30 fps) of the
// simulated meter, played through the video-file source in real time: Find Mark sets the detector up from
// each and the detector counts.
#include "camera/CameraConfiguration.h"
#include "camera/FindMark.h"
#include "camera/MarkDetector.h"
#include "capture/CaptureComponent.h"
#include "capture/FakeCameras.h"
#include "metering/PulseSignal.h"
#include "support/TestContext.h"

#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace {
constexpr double Watts = 6000.0; // one revolution every 2 s at 300 per kWh
constexpr int Fps = 30;
constexpr int Seconds = 8; // four whole revolutions, so the loop joins up without a jump

struct Recording
{
    const char* name;
    const char* encodeAndMux; // the GStreamer elements after the raw 4:2:0 pictures
    const char* extension;
};
void PrintTo(const Recording& r, std::ostream* os) // names the case in test listings instead of its bytes
{
    *os << r.name;
}

const Recording Recordings[] = {
    {"H264InMp4", "x264enc ! video/x-h264,profile=high ! mp4mux", "mp4"},
    {"H265InMov", "x265enc ! h265parse ! qtmux", "mov"},
    {"H265InMkv", "x265enc ! h265parse ! matroskamux", "mkv"},
};

// Renders the meter into numbered pictures and encodes them with GStreamer's encoders.
QString makeRecording(const QString& dir, const Recording& recording)
{
    SimulatedMeterSettings s;
    s.powerWatts = Watts;
    s.flicker = true;
    s.width = 160;
    s.height = 120;
    SimulatedMeter meter(s);
    for (int i = 0; i < Seconds * Fps; ++i)
        meter.render(double(i) / Fps).save(QStringLiteral("%1/f%2.png").arg(dir).arg(i, 5, 10, QLatin1Char('0')));
    const QString out = dir + QStringLiteral("/phone.") + QLatin1String(recording.extension);
    QProcess gst;
    const QString pipeline = QStringLiteral("gst-launch-1.0 -q multifilesrc location=%1/f%05d.png "
                                            "caps=image/png,framerate=%2/1 ! pngdec ! videoconvert ! "
                                            "video/x-raw,format=I420 ! %3 ! filesink location=%4");
    QStringList args =
        QProcess::splitCommand(pipeline.arg(dir).arg(Fps).arg(QLatin1String(recording.encodeAndMux), out));
    gst.start(args.takeFirst(), args);
    if (!gst.waitForFinished(60000) || gst.exitCode() != 0)
        ADD_FAILURE() << "encoding failed (scripts/install-deps installs the encoders and gst-launch-1.0): "
                      << gst.readAllStandardError().toStdString();
    return out;
}

class PhoneRecording : public testing::TestWithParam<Recording>
{
};

TEST_P(PhoneRecording, PlaysAndCountsAfterFindMark)
{
    QTemporaryDir dir;
    const QString file = makeRecording(dir.path(), GetParam());

    // The recording plays in real time, so the program clock is the real one here.
    TestContext t;
    SystemClock clock;
    MeteringContext ctx{Services{clock, t.pump, t.dialogs, t.files}};
    ctx.settings = t.ctx.settings;
    LoadWorkingMeterValues(ctx);
    FakeCameras cameras;
    CaptureComponent capture(clock, t.dialogs, cameras);
    MarkDetector detector(ctx, capture);
    FindMark findMark;
    QObject::connect(&capture, &VideoCapture::frameAnalysed, [&] { detector.onFrameAnalysed(); });
    QObject::connect(&capture, &CaptureComponent::surveyAnalysed,
                     [&](const CellTable& table, double time) { findMark.addFrame(table, time); });

    setup_camera_control(ctx, capture);
    t.dialogs.setNextFileName(file);
    capture.setDeviceIndex(capture.videoFileIndex());
    detector.reset_mark_detection();
    detector.camera_just_starting();
    findMark.reset(ctx.settings.REDUCE_VIDEO_NOISE, ctx.settings.REVS_PER_KWH);
    capture.setSurveyGrid(FindMark::SurveyColumns, FindMark::SurveyRows);
    capture.startLiveVideo();
    ASSERT_TRUE(QTest::qWaitFor([&] { return findMark.finished(); }, 20000))
        << "passes seen: " << findMark.passesSeen() << "; " << t.dialogs.texts().join(' ').toStdString();
    EXPECT_NEAR(capture.frameRate(), Fps, 0.5);

    findMark.proposal().applyTo(ctx.settings);
    capture.setSurveyGrid(0, 0);
    setup_camera_control(ctx, capture);
    detector.reset_mark_detection();
    QTest::qWait(1000);
    const int before = ctx.trip.totalPulse;
    QTest::qWait(6000); // three revolutions, wherever the loop restarts
    capture.stop();
    EXPECT_NEAR(ctx.trip.totalPulse - before, 3, 1);
    EXPECT_NEAR(ctx.pulse.dblGlobalInstantKW * 1000.0, Watts, Watts * 0.1);
    EXPECT_TRUE(t.dialogs.texts().isEmpty()) << t.dialogs.texts().join(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Formats, PhoneRecording, testing::ValuesIn(Recordings),
                         [](const testing::TestParamInfo<Recording>& info) { return info.param.name; });

} // namespace
