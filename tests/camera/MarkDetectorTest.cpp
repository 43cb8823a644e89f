// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/MarkDetector.h"

#include "camera/CellValueSource.h"
#include "support/TestContext.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>

namespace {
// Cells with values set per (channel, column, row); unset cells read `fill`.
struct FakeCells : CellValueSource
{
    int cellValue(int channel, int column, int row) const override
    {
        ++reads;
        const auto it = values.find({channel, column, row});
        return it == values.end() ? fill : it->second;
    }
    QString currentCellValuesText() const override { return text; }
    double frameTime() const override { return time; }
    int fill = 0;
    double time = -1.0;
    std::map<std::tuple<int, int, int>, int> values;
    QString text = QStringLiteral("cells");
    mutable int reads = 0;
};

class MarkDetectorTest : public ::testing::Test
{
protected:
    MarkDetectorTest()
    {
        // Factory settings: trigger 1000, debounce 300 ms, settle 3000 ms, 20 peaks averaged.
        // Each refresh records whether a pulse was in progress and the mark flag at that moment.
        t.ctx.blnGlobalTripRunning = true;
        t.ctx.refreshTripDisplay = [this] {
            calls.emplace_back(t.ctx.blnGlobalPulseInProgress, t.ctx.blnGlobalMarkOn);
        };
        detector.reset_mark_detection();
    }

    GlobalSettings& s() { return t.ctx.settings; }
    void settle()
    {
        detector.camera_just_starting();
        t.clock.advance(3.001);
        detector.process_intensity(0); // the frame that ends the settle delay
        t.clock.advance(0.04);
    }
    // One frame of intensity v, then the frame period passes.
    void frame(qint32 v, double seconds = 0.04)
    {
        detector.process_intensity(v);
        t.clock.advance(seconds);
    }
    // A mark passing: `on` frames at the given peak, then frames below until mark-off.
    void mark(qint32 peak, int on = 3)
    {
        for (int i = 0; i < on; ++i)
            frame(peak);
        for (int i = 0; i < 10; ++i)
            frame(100);
    }
    int pulses() const { return t.ctx.trip.totalPulse; }
    // A frame taken at `time` whose 300 cell values (100 cells, three channels) average `mean`, to 1/300.
    void frameAt(double time, double mean)
    {
        cells.fill = int(mean);
        cells.values.clear();
        for (int i = 0; i < std::lround((mean - cells.fill) * 300); ++i)
            cells.values[{i % 3, i / 3 % 10, i / 30}] = cells.fill + 1;
        t.clock.setTimer(cells.time = time);
        detector.onFrameAnalysed();
    }

    TestContext t;
    FakeCells cells;
    MarkDetector detector{t.ctx, cells};
    std::vector<std::pair<bool, bool>> calls;
};
TEST_F(MarkDetectorTest, AveragingScalingAndMillisecondsAcrossMidnight)
{
    cells.values = {{{0, 1, 0}, 10}, {{1, 1, 0}, 21}, {{2, 1, 0}, 30}, {{0, 0, 1}, 40}};
    const QList<GridCell> two{{1, 0}, {0, 1}};
    EXPECT_EQ(detector.average_cell_values(two, true, true, true), 17);   // 101 / 6 = 16.8
    EXPECT_EQ(detector.average_cell_values(two, false, true, false), 10); // 21 / 2 = 10.5 -> 10
    cells.reads = 0;
    EXPECT_EQ(detector.average_cell_values(two, false, false, false), -1);
    EXPECT_EQ(detector.average_cell_values({}, true, true, true), -1);
    EXPECT_EQ(cells.reads, 0);

    s().IMAGE_INTENSITY_FACTOR = 5;
    EXPECT_EQ(std::tuple(detector.scale_intensity(1), detector.scale_intensity(3)), std::tuple(2, 1)); // 2.5, 1.25
    s().INVERT_IMAGE_INTENSITY = true;
    s().IMAGE_INTENSITY_FACTOR = 1000000;
    EXPECT_EQ(detector.scale_intensity(200), 200000000);
    EXPECT_EQ(detector.scale_intensity(255 * 100), 2147483647); // saturates instead of wrapping negative

    // Across midnight; 0.5 and 1.5 ms round to even.
    EXPECT_EQ(std::tuple(millidiff(86399.9, 0.1), millidiff(1.0, 1.0005), millidiff(1.0, 1.0015)),
              std::tuple(200, 0, 2));
}

TEST_F(MarkDetectorTest, SettleFramesAndFramesWithoutActiveCellsOrChannelsChangeNothingButTheCellText)
{
    detector.camera_just_starting();
    cells.fill = 10;               // intensity 100000 / 11 = 9091, far above the trigger
    for (int i = 0; i < 76; ++i) { // frames up to 3.0 s after the start, then the one that ends the delay
        detector.onFrameAnalysed();
        t.clock.advance(0.04);
    }
    detector.onFrameAnalysed();
    EXPECT_EQ(std::tuple(detector.blnCameraSettled(), pulses(), detector.display().edtImageIntensity),
              std::tuple(true, 0, QString("0")));
    // No channel compared: the frame is skipped, however dark the cells are.
    s().DETECT_RED = s().DETECT_GREEN = s().DETECT_BLUE = false;
    detector.onFrameAnalysed();
    EXPECT_EQ(pulses(), 0);
    s().DETECT_RED = s().DETECT_GREEN = s().DETECT_BLUE = true;
    detector.onFrameAnalysed();
    EXPECT_EQ(std::tuple(pulses(), detector.display().edtImageIntensity), std::tuple(1, QString("9091")));

    s().DETECTION_GRID = QStringLiteral("000 000");
    detector.reset_mark_detection();
    EXPECT_EQ(t.dialogs.texts().back(),
              "No cells are active, mark will not be detected. Please go to the Motion Sensitivity form.");
    settle();
    cells.text = QStringLiteral("updated");
    cells.reads = 0;
    detector.onFrameAnalysed();
    EXPECT_EQ(std::tuple(cells.reads, detector.display().mmoMotionGrid), std::tuple(0, QString("updated")));
}

TEST_F(MarkDetectorTest, MarkStartsAtTheTriggerAndEndsOnlyAfterMoreThanDebounceTimeBelowEvenAcrossMidnight)
{
    settle();
    frame(999);
    EXPECT_EQ(detector.display().DetectionBar, 1);
    frame(1000, 0.1); // equal to the trigger counts as present
    // Nothing averaged yet: the light level stays 0.
    EXPECT_EQ(std::tuple(pulses(), detector.display().DetectionBar, detector.display().MarkSignalled,
                         t.ctx.pulse.lngGlobalLightLevel),
              std::tuple(1, 10, 10, 0));
    // Inside RegisterPulse: pulse in progress, mark on; then the detector's own refresh after clearing.
    EXPECT_EQ(calls, (std::vector<std::pair<bool, bool>>{{true, true}, {false, true}}));
    EXPECT_FALSE(t.ctx.blnGlobalPulseInProgress);
    frame(2500, 0.3); // the last at-or-above frame; the next comes exactly 300 ms later
    frame(900, 0.001);
    EXPECT_TRUE(detector.blnMarkOn());
    calls.clear();
    frame(900);
    EXPECT_EQ(std::tuple(detector.blnMarkOn(), detector.display().MarkSignalled), std::tuple(false, 1));
    EXPECT_EQ(calls, (std::vector<std::pair<bool, bool>>{{false, false}}));
    frame(1000); // no delay after mark-off
    EXPECT_EQ(std::tuple(pulses(), t.ctx.pulse.lngGlobalLightLevel), std::tuple(2, 2500));

    // A dip of 280 ms keeps one mark.
    for (int i = 0; i < 7; ++i)
        frame(500);
    frame(2000);
    for (int i = 0; i < 20; ++i)
        frame(500);
    EXPECT_EQ(pulses(), 2);

    // A release level below the trigger: frames between the two keep the mark; at the factory 100 % they
    // did not (above).
    s().RELEASE_LEVEL_PERCENT = 80;
    frame(1000);
    for (int i = 0; i < 20; ++i)
        frame(i % 2 ? 990 : 800);
    EXPECT_EQ(std::tuple(detector.blnMarkOn(), pulses()), std::tuple(true, 3));
    frame(799, 0.301);
    frame(799);
    EXPECT_FALSE(detector.blnMarkOn());
    s().RELEASE_LEVEL_PERCENT = 100;

    t.clock.setTimer(86399.8);
    frame(3000, 0.25); // last at-or-above frame 0.2 s before midnight; the next frame 50 ms after
    frame(100, 0.3);
    EXPECT_TRUE(detector.blnMarkOn());
    frame(100);
    EXPECT_EQ(std::tuple(detector.blnMarkOn(), pulses()), std::tuple(false, 4));
}

TEST_F(MarkDetectorTest, PeakRingAveragesAndOverwritesTheOldest)
{
    s().TRIGGER_EVENTS_TO_AVERAGE = 3;
    settle();
    for (qint32 peak : {3000, 6000, 9000})
        mark(peak);
    EXPECT_EQ(detector.lngAveragedMaxIntensity(), 6000);
    mark(12000); // replaces 3000 in slot 1
    EXPECT_EQ(std::tuple(detector.intPeakRingIndex(), detector.peakRingSlot(1), detector.lngAveragedMaxIntensity(),
                         detector.intMarksSeen()),
              std::tuple(1, 12000, 9000, 3));

    // Raised N: the count grows per mark while the index carries on, so slot 5 still holds 0 when averaged.
    s().TRIGGER_EVENTS_TO_AVERAGE = 5;
    mark(3000); // slot 2, count 4: (12000 + 3000 + 9000 + 0) / 4
    EXPECT_EQ(std::tuple(detector.intPeakRingCount(), detector.lngAveragedMaxIntensity()), std::tuple(4, 6000));

    // Lowered N below the count: the ring starts again.
    s().TRIGGER_EVENTS_TO_AVERAGE = 2;
    mark(1000);
    EXPECT_EQ(std::tuple(detector.intPeakRingCount(), detector.intPeakRingIndex(), detector.lngAveragedMaxIntensity()),
              std::tuple(1, 1, 1000));
}

TEST_F(MarkDetectorTest, AmbientTrackingActsFromTheNthMarkOff)
{
    s().TRACK_AMBIENT_LIGHT_CHANGE = true;
    s().PERCENT_AMBIENT_LIGHT_TO_TRACK = 50;
    settle();
    for (int i = 0; i < 19; ++i)
        mark(2000);
    EXPECT_EQ(s().TRIGGER_LEVEL, 1000);
    // 20th mark-off: avg of 19 x 2000 and one 2401 = 2020.05, change +20.05, half of it added.
    mark(2401);
    EXPECT_EQ(
        std::tuple(s().TRIGGER_LEVEL, detector.display().edtChangeFromLastAverage, detector.display().edtTriggerValue),
        std::tuple(1010, QString("20"), QString("1010")));
    // Light falls: the level follows down.
    for (int i = 0; i < 20; ++i)
        mark(1200);
    EXPECT_LT(s().TRIGGER_LEVEL, 1010);
}

TEST_F(MarkDetectorTest, RestartKeepsTheMarkAndResetClearsEverything)
{
    settle();
    frame(3000);
    // Camera stopped and started again: settling again, the mark stays present.
    detector.camera_just_starting();
    t.clock.advance(3.1);
    frame(100); // ends the settle delay, nothing else
    EXPECT_TRUE(detector.blnMarkOn());
    frame(100); // first settled frame: well past the debounce time
    EXPECT_EQ(std::tuple(detector.blnMarkOn(), pulses()), std::tuple(false, 1));

    frame(4000);
    bool reloaded = false;
    detector.reloadSettingFields = [&] { reloaded = true; };
    detector.reset_mark_detection();
    EXPECT_TRUE(reloaded && !detector.blnMarkOn() && !detector.blnCameraSettled());
    EXPECT_EQ(std::tuple(detector.lngAveragedMaxIntensity(), detector.peakRingSlot(1), detector.display().MarkSignalled,
                         detector.varActiveCells().size()),
              std::tuple(0, 0, 1, 100));
}

TEST_F(MarkDetectorTest, RevolutionsAreTimedWhereTheCellsCrossTheTriggerBetweenFramesActuallySeen)
{
    // Every 1.8123 s (45.3 frames) the mark takes the cells' mean from 150 down to 30 over 0.3 s and back over
    // 0.3 s after as long again. The factory trigger, intensity 1000, is reached by a rounded mean of 99, not
    // 100: crossed at 99.5, 0.12625 s in. Straight edges are timed exactly, so no correction between the
    // leading and the trailing edges' revolutions moves the times.
    constexpr double Period = 1.8123, Fall = 0.3, Crossing = 0.12625;
    const double start = t.clock.timer() + 4.0;
    const auto crossing = [&](int k) { return start + k * Period + Crossing; };
    detector.camera_just_starting();
    std::vector<std::pair<double, double>> pulseAndFrame;
    std::vector<double> powers;
    double time = 0.0;
    for (int k = 0; time < start + 7 * Period; ++k) {
        time = start - 4.0 + 0.04 * k + 0.003 * (k * 7 % 5 - 2); // some frames early, some late
        // Revolution 3 loses the frame before its crossing; revolution 5 comes during a stall of 0.6 s.
        if ((time < crossing(3) && time > crossing(3) - 0.04) || (time < crossing(5) && time > crossing(5) - 0.6))
            continue;
        const double into = time < start ? 3 * Fall : std::fmod(time - start, Period);
        frameAt(time, into < Fall       ? 150.0 - 120.0 * into / Fall
                      : into < 2 * Fall ? 30.0
                                        : std::min(150.0, 30.0 + 120.0 * (into - 2 * Fall) / Fall));
        if (pulses() > int(pulseAndFrame.size())) {
            pulseAndFrame.emplace_back(t.ctx.pulse.dblGlobalTimeLastPulse, time);
            powers.push_back(t.ctx.pulse.dblGlobalInstantKW);
        }
    }
    ASSERT_EQ(pulseAndFrame.size(), 7u);
    for (int k = 0; k < 7; ++k) // no neighbour within half a second for revolution 5: the frame that saw it
        EXPECT_NEAR(pulseAndFrame[k].first, k == 5 ? pulseAndFrame[k].second : crossing(k), 0.0005) << k;
    // The stall hid when revolution 5 came: neither it nor the next is timed, both keep the power shown.
    const double truth = 3600.0 / Period / s().REVS_PER_KWH;
    for (int k = 2; k < 7; ++k)
        EXPECT_NEAR(powers[std::size_t(k)], k == 5 || k == 6 ? powers[4] : truth, truth * 0.001) << k;
    EXPECT_EQ(std::tuple(powers[5], powers[6]), std::tuple(powers[4], powers[4]));

    // Camera started again: the frame before the stop is not the one before the first frame after it, and the
    // time since the last revolution seen is no revolution's.
    const double kw = t.ctx.pulse.dblGlobalInstantKW;
    s().SETTLE_TIME = 10;
    detector.camera_just_starting();
    frameAt(time + 0.04, 150.0); // ends the settle delay
    frameAt(time + 0.08, 30.0);
    EXPECT_EQ(std::tuple(pulses(), t.ctx.pulse.dblGlobalTimeLastPulse, t.ctx.pulse.dblGlobalInstantKW),
              std::tuple(8, time + 0.08, kw));
}

TEST_F(MarkDetectorTest, TheFollowedLightIsNotTakenFromAFrameAFastMarkBlurredOutsideTheActiveCells)
{
    // Only the first column is active; in the first frame after settling, a fast mark's blur darkens seven of
    // the ten columns while the first is still plain. Taken as the plain disc's light, every later plain frame
    // would look six times as bright, the trigger would sink under the plain disc and the mark never end.
    s().DETECTION_GRID = QString("5000000000 ").repeated(10).trimmed();
    s().LEVELS_FOLLOW_LIGHT = true;
    s().SETTLE_TIME = 10;
    detector.reset_mark_detection();
    // A frame whose columns firstDark up to endDark are darkened by the mark.
    const auto show = [&](int firstDark, int endDark) {
        cells.fill = 120; // intensity 826 against the factory trigger 1000
        cells.values.clear();
        for (int column = firstDark; column < endDark; ++column)
            for (int row = 0; row < 10; ++row)
                for (int channel = 0; channel < 3; ++channel)
                    cells.values[{channel, column, row}] = 20;
        detector.onFrameAnalysed();
        t.clock.advance(0.04);
    };
    detector.camera_just_starting();
    t.clock.advance(0.02);
    show(0, 0); // ends the settle delay
    show(1, 8);
    for (int revolution = 0; revolution < 5; ++revolution) {
        for (int f = 0; f < 20; ++f)
            show(0, 0);
        show(0, 1); // the mark on the active column
        show(0, 1);
    }
    EXPECT_EQ(pulses(), 5);
    EXPECT_EQ(detector.triggerLevel(), 1000);
    // A fifth more light on every cell: the level in use follows it at once, the one set stays.
    cells.fill = 144;
    cells.values.clear();
    detector.onFrameAnalysed();
    EXPECT_NEAR(detector.triggerLevel(), 1000 / 1.2, 3);
}

TEST_F(MarkDetectorTest, AFastDiscsPowerFollowsABigChangeOfLoadAtOnceAndASmallOneWithinARound)
{
    // Marks every 0.4437 s (11.09 frames), then a fifth more power, then 5 % more: each mark takes the cells'
    // mean from 150 down to 30 over 0.1 s, holds 0.1 s and comes back over 0.1 s.
    s().SETTLE_TIME = 10;
    s().DEBOUNCE_TIME = 60;
    detector.camera_just_starting();
    std::vector<double> starts{1.0};
    const auto addRevolutions = [&](int count, double period) {
        for (int k = 0; k < count; ++k)
            starts.push_back(starts.back() + period);
    };
    const double slow = 0.4437, faster = slow / 1.2, fastest = faster / 1.05;
    addRevolutions(40, slow);
    addRevolutions(30, faster);
    addRevolutions(30, fastest);
    std::vector<double> powers;
    for (double time = 0.5; time < starts.back() + 0.4; time += 0.04) {
        const auto next = std::upper_bound(starts.begin(), starts.end(), time);
        const double into = next == starts.begin() ? 1.0 : time - *std::prev(next); // plain before the first
        frameAt(time, into < 0.1   ? 150.0 - 1200.0 * into
                      : into < 0.2 ? 30.0
                                   : std::min(150.0, 30.0 + 1200.0 * (into - 0.2)));
        if (pulses() > int(powers.size()))
            powers.push_back(t.ctx.pulse.dblGlobalInstantKW);
    }
    ASSERT_EQ(powers.size(), starts.size());
    const auto kw = [&](double period) { return 3600.0 / period / s().REVS_PER_KWH; };
    EXPECT_NEAR(powers[39], kw(slow), kw(slow) * 0.001);
    for (std::size_t k = 41; k <= 70; ++k) // from the first revolution of the new load
        EXPECT_NEAR(powers[k], kw(faster), kw(faster) * 0.005) << k;
    // 5 % more, within what the line may miss by at this speed, comes in over a few revolutions, never 2 % beyond
    // it, and is there within 10.
    for (std::size_t k = 71; k < powers.size(); ++k) {
        EXPECT_LE(powers[k], kw(fastest) * 1.02) << k;
        if (k >= 81) {
            EXPECT_NEAR(powers[k], kw(fastest), kw(fastest) * 0.005) << k;
        }
    }
}

} // namespace
