// SPDX-License-Identifier: GPL-3.0-or-later
// The whole road of a revolution: simulated meter -> capture thread -> cell table -> detector -> RegisterPulse,
// one frame at a time on the fake clock.
#include "FakeCameras.h"
#include "camera/MarkDetector.h"
#include "metering/PulseSignal.h"
#include "support/TestContext.h"
#include "ui/capture/CaptureComponent.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>

namespace {
constexpr double FramePeriod = 0.04; // 25 frames per second
constexpr int MeterWidth = 20;       // pixels; tiny frames keep a run of 2400 simulated seconds fast
constexpr int MeterHeight = 15;
constexpr double EdgeJitterPixels = 0.25;
// The user's reduced active area: two columns of the band the disc edge fills (the plate strips above and
// below stay inactive).
const QString Grid = QStringLiteral(
    "0000000000 0000550000 0000550000 0000550000 0000550000 0000550000 0000550000 0000550000 0000550000 0000000000");

struct Outcome
{
    int counted = 0;
    int expected = 0;
    double worstPowerError = 0.0; // relative, over all pulses after the first
    double worstIntervalError = 0.0;
};

class MeterCounting : public ::testing::TestWithParam<std::pair<double, int>>
{
protected:
    // Runs the meter at `watts` until at least `revolutions` have passed the settled detector, ending half a
    // revolution after the last one so that no mark is half-way through at the end.
    Outcome run(double watts, int revolutions, const QString& grid = Grid, qint32 trigger = 2000)
    {
        TestContext t;
        GlobalSettings& s = t.ctx.settings;
        s.REVS_PER_KWH = 300;
        s.DETECTION_GRID = grid;
        s.TRIGGER_LEVEL = trigger;
        s.SETTLE_TIME = 1000; // ends in a gap between marks at every power below
        LoadWorkingMeterValues(t.ctx);

        FakeCameras cameras;
        CaptureComponent capture(t.clock, t.dialogs, cameras);
        MarkDetector detector(t.ctx, capture);
        int frames = 0;
        QObject::connect(&capture, &VideoCapture::frameAnalysed, [&] {
            ++frames;
            detector.onFrameAnalysed();
        });
        SimulatedMeterSettings meter; // noise and drift as the factory sets them
        meter.powerWatts = watts;
        meter.revsPerKWh = 300;
        meter.width = MeterWidth;
        meter.height = MeterHeight;
        meter.driftPeriod = 120;
        SimulatedMeter truth(meter);
        const double period = truth.revolutionPeriod();

        capture.setMotionDetection(true);
        capture.setDetectionGrid(grid);
        startSteppedMeter(capture, detector, meter);

        Outcome r;
        double settledAt = -1.0;
        std::vector<double> pulseTimes;
        const double start = t.clock.timer();
        const int lastTrue = revolutions + int(std::ceil(s.SETTLE_TIME / 1000.0 / period));
        const double end = truth.markCentreTime(lastTrue) + period / 2;
        for (double now = 0.0; now < end; now += FramePeriod) {
            capture.renderSimulatedFrame();
            const QDeadlineTimer deadline(2000);
            const int before = frames;
            while (frames == before && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
            if (frames == before) {
                ADD_FAILURE() << "no frame analysed at " << now << " s";
                break;
            }
            if (settledAt < 0 && detector.blnCameraSettled())
                settledAt = now;
            if (t.ctx.trip.totalPulse > int(pulseTimes.size()))
                pulseTimes.push_back(t.clock.timer() - start);
            if (pulseTimes.size() >= 2 && t.ctx.trip.totalPulse == int(pulseTimes.size())) {
                const double p = t.ctx.pulse.dblGlobalInstantKW * 1000.0;
                r.worstPowerError = std::max(r.worstPowerError, std::abs(p - watts) / watts);
            }
            t.clock.advance(FramePeriod);
        }
        r.counted = t.ctx.trip.totalPulse;
        // A revolution counts when its mark enters the view after the detector has settled.
        for (int k = 0; k <= lastTrue; ++k)
            if (period * (k + 0.5) > settledAt)
                ++r.expected;
        for (std::size_t i = 1; i < pulseTimes.size(); ++i)
            r.worstIntervalError = std::max(r.worstIntervalError, std::abs(pulseTimes[i] - pulseTimes[i - 1] - period));
        EXPECT_GE(r.expected, revolutions);
        return r;
    }
};
} // namespace

TEST_P(MeterCounting, CountsEveryRevolutionOnceWithThePowerTheFramePeriodAllows)
{
    const auto [watts, revolutions] = GetParam();
    const double period = 3600.0 / (watts / 1000.0 * 300.0);
    const Outcome r = run(watts, revolutions);
    EXPECT_EQ(r.counted, r.expected) << watts << " W";
    // Each pulse is timed by the first frame that shows the mark, so an interval can be up to a frame long or
    // short at either end. Noise and light drift move the trigger crossing along the mark's path; a quarter
    // of a pixel of its travel is allowed for that (it crosses the view's width in a sixth of a turn).
    const double noiseAllowance = EdgeJitterPixels * period * SimulatedMeter::ViewFraction / MeterWidth;
    const double intervalBound = 2 * FramePeriod + noiseAllowance;
    EXPECT_LE(r.worstIntervalError, intervalBound) << watts << " W";
    EXPECT_LE(r.worstPowerError, intervalBound / (period - intervalBound)) << watts << " W";
}

INSTANTIATE_TEST_SUITE_P(Powers, MeterCounting,
                         ::testing::Values(std::make_pair(100.0, 20), std::make_pair(1000.0, 200),
                                           std::make_pair(5000.0, 200), std::make_pair(10000.0, 200)));

// What a new user without a camera sees: the whole picture active and the factory trigger level.
TEST_F(MeterCounting, FactoryGridAndTriggerCountTheSimulatedMeter)
{
    const Outcome r = run(5000.0, 30, SettingsDefaults::DefaultGrid, SettingsDefaults::factorySettings().TRIGGER_LEVEL);
    EXPECT_EQ(r.counted, r.expected);
}
