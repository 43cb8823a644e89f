// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/TripEngine.h"

#include "metering/PulseSignal.h"
#include "metering/RunCalculations.h"
#include "support/TestContext.h"

#include <gtest/gtest.h>

namespace {

// A running trip at 1000 revs/kWh and 15.0 per kWh, driven only through the clock, pulses and ticks.
struct TripTest : ::testing::Test
{
    TestContext t;
    TripEngine engine{t.ctx};

    void SetUp() override
    {
        t.ctx.settings.REVS_PER_KWH = 1000;
        t.ctx.settings.COST_PER_KWH = 15.0;
        ResetWorkingValues(t.ctx);
        engine.load();
        engine.startButton();
    }
    void pulse() { RegisterPulse(t.ctx, 1); }
    // Ticks every 200 ms for the given seconds, as Timer1 would.
    void runFor(double seconds)
    {
        for (int i = 0; i < static_cast<int>(seconds * 5 + 0.5); ++i) {
            t.clock.advance(0.2);
            engine.tick();
        }
    }
    // One minute with n pulses spread over it, closed by the tick.
    void minuteWith(int n)
    {
        for (int i = 0; i < n; ++i) {
            t.clock.advance(1.0);
            pulse();
        }
        runFor(60.0 - n);
    }
    const RunState& trip() const { return t.ctx.trip; }
};

TEST_F(TripTest, InstantValuesFromTimeBetweenPulses)
{
    t.clock.setTimer(100.0);
    pulse();
    EXPECT_EQ(t.ctx.pulse.dblGlobalInstantKW, 0.0) << "first pulse after a reset";
    EXPECT_EQ(trip().totalPulse, 1);
    t.clock.setTimer(103.6);
    pulse();
    EXPECT_NEAR(t.ctx.pulse.dblGlobalInstantKW, 1.0, 1e-9);
    EXPECT_NEAR(t.ctx.pulse.dblGlobalInstantCostPerHour, 15.0, 1e-9);
    pulse(); // same timer reading: keeps the previous figures, still counts
    EXPECT_NEAR(t.ctx.pulse.dblGlobalInstantKW, 1.0, 1e-9);
    EXPECT_EQ(trip().totalPulse, 3);
    EXPECT_DOUBLE_EQ(trip().totalKWH, 0.003);
    EXPECT_DOUBLE_EQ(trip().totalCost, 3 * 15.0 / 1000);
    EXPECT_EQ(t.ctx.logging.totalPulse, 0) << "logging stopped";
    EXPECT_EQ(t.ctx.pulse.lngGlobalWkgIntervalPulseCount, 0);
}

TEST_F(TripTest, InstantValuesAcrossMidnight)
{
    t.clock.setTimer(86399.0);
    pulse();
    t.clock.advance(2.0);
    pulse();
    EXPECT_NEAR(t.ctx.pulse.dblGlobalInstantKW, 1.8, 1e-9);
}

TEST_F(TripTest, AveragesOverClosedMinutes)
{
    EXPECT_EQ(trip().avg5minKWH, 0.0);
    minuteWith(2);
    minuteWith(4);
    minuteWith(6);
    EXPECT_NEAR(trip().avg5minKWH, 0.24, 1e-12);
    EXPECT_NEAR(trip().avg1hourKWH, 0.24, 1e-12);
    EXPECT_NEAR(trip().avg5minCost, 3.6, 1e-12);
    EXPECT_NEAR(trip().avg1hourCost, 3.6, 1e-12);
    EXPECT_EQ(engine.display().Text7, "0.24");
    EXPECT_EQ(engine.display().Text8, "3.6");
    // An empty minute still counts in the divisor.
    minuteWith(0);
    EXPECT_NEAR(trip().avg5minKWH, 0.012 * 60 / 4, 1e-12);
}

TEST_F(TripTest, FiveMinuteWindowWrapsAfterSevenMinutes)
{
    for (int n = 1; n <= 7; ++n)
        minuteWith(n);
    // 5-minute window: minutes 3..7, divisor 5. Hour: all 7.
    EXPECT_NEAR(trip().avg5minKWH, (3 + 4 + 5 + 6 + 7) / 1000.0 * 60 / 5, 1e-12);
    EXPECT_NEAR(trip().avg1hourKWH, 28 / 1000.0 * 60 / 7, 1e-12);
    EXPECT_TRUE(trip().window5min.full());
    EXPECT_FALSE(trip().window1hour.full());
    EXPECT_EQ(trip().window1hour.pointer(), 8);
}

TEST_F(TripTest, MinuteClosesOncePerSixtySecondsEvenOverMidnight)
{
    t.clock.setTimer(86370.0);
    engine.ResetTrip(); // last calculation at 86370
    runFor(59.8);
    EXPECT_FALSE(trip().window1hour.slot(1).closed);
    runFor(0.4);
    EXPECT_TRUE(trip().window1hour.slot(1).closed);
    EXPECT_FALSE(trip().window1hour.slot(2).closed);
    EXPECT_EQ(trip().seconds, 60);
}

TEST_F(TripTest, TickDuringPulseWaitDoesNotCloseASecondMinute)
{
    pulse();
    SetPulseInProgress(t.ctx);
    int reentered = 0;
    int turns = 0;
    t.pump.onEvents = [&] {
        // Timer1 keeps firing while the minute update waits; the pulse ends after a few turns.
        ++reentered;
        engine.tick();
        if (++turns == 5)
            ClearPulseInProgress(t.ctx);
    };
    runFor(61.0);
    t.pump.onEvents = nullptr;
    EXPECT_GT(reentered, 0);
    EXPECT_TRUE(trip().window5min.slot(1).closed);
    EXPECT_FALSE(trip().window5min.slot(2).closed);
    EXPECT_EQ(trip().window5min.slot(1).pulses, 1);
}

TEST_F(TripTest, PulseCountedWhileMinuteWaitsLandsInClosingMinute)
{
    SetPulseInProgress(t.ctx);
    int turns = 0;
    t.pump.onEvents = [&] {
        if (++turns == 3) {
            pulse();
            ClearPulseInProgress(t.ctx);
        }
    };
    runFor(60.2);
    t.pump.onEvents = nullptr;
    EXPECT_EQ(trip().window5min.slot(1).pulses, 1);
    EXPECT_EQ(trip().newPulseCount, 0);
}

TEST_F(TripTest, DisplayRoundsHalvesToEvenPerSetting)
{
    t.ctx.settings.POWER_ROUNDING_PLACES = 1;
    t.ctx.settings.COST_ROUNDING_PLACES = 0;
    t.ctx.settings.ENERGY_ROUNDING_PLACES = 2;
    t.ctx.pulse.dblGlobalInstantKW = 0.25;
    t.ctx.pulse.dblGlobalInstantCostPerHour = 2.5;
    t.ctx.trip.totalKWH = 0.125;
    engine.RefreshTripDisplay();
    EXPECT_EQ(engine.display().Text11, "0.2");
    EXPECT_EQ(engine.display().Text12, "2");
    EXPECT_EQ(engine.display().Text5, "0.12");
    t.ctx.locale = QLocale(QLocale::German, QLocale::Germany);
    engine.RefreshTripDisplay();
    EXPECT_EQ(engine.display().Text5, "0,12");
}

TEST_F(TripTest, BaselineSubtractsFromInstantFiguresOnly)
{
    t.ctx.pulse.dblGlobalInstantKW = 0.5;
    engine.toggleBaseline();
    EXPECT_EQ(engine.display().baselineCaption, "Clear Baseline");
    t.ctx.pulse.dblGlobalInstantKW = 1.2;
    engine.RefreshTripDisplay();
    EXPECT_EQ(engine.display().Text11, "0.7");
    t.ctx.pulse.dblGlobalInstantKW = 0.3;
    engine.RefreshTripDisplay();
    EXPECT_EQ(engine.display().Text11, "-0.2");
    engine.toggleBaseline();
    EXPECT_EQ(engine.display().Text11, "-0.2") << "only from the next refresh";
    engine.RefreshTripDisplay();
    EXPECT_EQ(engine.display().Text11, "0.3");
    EXPECT_EQ(engine.display().baselineCaption, "Set Baseline");
}

TEST_F(TripTest, ElapsedTexts)
{
    EXPECT_EQ(ElapsedTimeText(59), "00h 00m 59s");
    EXPECT_EQ(ElapsedTimeText(3725), "01h 02m 05s");
    EXPECT_EQ(ElapsedTimeText(360000), "100h 00m 00s");
    EXPECT_EQ(ElapsedTimeText(400000), "111h 06m 40s");
    runFor(3725);
    EXPECT_EQ(engine.display().Text3, "3725");
    EXPECT_EQ(engine.display().Text3a, "01h 02m 05s");
}

TEST_F(TripTest, StoppedTripKeepsFiguresAndButtonsFollowState)
{
    EXPECT_EQ(engine.display().Label22, "STATUS: RUNNING");
    EXPECT_FALSE(engine.display().startEnabled);
    EXPECT_TRUE(engine.display().stopEnabled);
    EXPECT_TRUE(engine.display().resetEnabled);
    EXPECT_TRUE(engine.display().timerEnabled);
    pulse();
    engine.stopButton();
    EXPECT_EQ(engine.display().Label22, "STATUS: STOPPED");
    EXPECT_TRUE(engine.display().startEnabled);
    EXPECT_FALSE(engine.display().resetEnabled);
    EXPECT_FALSE(engine.display().timerEnabled);
    EXPECT_EQ(engine.display().Text4, "1");
    pulse();
    SetMarkOn(t.ctx);
    runFor(120);
    EXPECT_EQ(engine.display().Text4, "1") << "nothing refreshes a stopped trip";
    EXPECT_FALSE(engine.display().markOn);
    EXPECT_FALSE(trip().window5min.slot(1).closed);
    EXPECT_TRUE(engine.canClose());
    engine.startButton();
    EXPECT_EQ(trip().totalPulse, 0) << "every start is a fresh trip";
    EXPECT_FALSE(engine.canClose());
    EXPECT_EQ(t.dialogs.texts(), QStringList{"Please stop this trip screen before trying to close it"});
}

TEST_F(TripTest, ResetClearsInstantTextsAndLoadClearsBoxes)
{
    t.clock.advance(1);
    pulse();
    t.clock.advance(1);
    pulse();
    EXPECT_FALSE(engine.display().Text11.isEmpty());
    engine.resetButton();
    EXPECT_EQ(engine.display().Text11, "");
    EXPECT_EQ(engine.display().Text4, "0");
    EXPECT_NEAR(t.ctx.pulse.dblGlobalInstantKW, 3.6, 1e-9) << "reset leaves the pulse timing alone";
    engine.stopButton();
    engine.load();
    EXPECT_EQ(engine.display().Text4, "");
    EXPECT_EQ(engine.display().Label5, "Total KWH since last reset");
}

TEST_F(TripTest, ChangedMeterConstantReachesArithmeticAtNextMinute)
{
    t.ctx.settings.REVS_PER_KWH = 500;
    pulse();
    EXPECT_DOUBLE_EQ(trip().totalKWH, 0.001);
    runFor(60);
    pulse();
    EXPECT_DOUBLE_EQ(trip().totalKWH, 0.004) << "the whole total is re-priced";
}

TEST(TripHour, AnHourOfTicksThroughTheFakeClock)
{
    TestContext t;
    TripEngine engine{t.ctx};
    engine.startButton();
    for (int i = 0; i < 3600 * 5; ++i) {
        t.clock.advance(0.2);
        engine.tick();
    }
    EXPECT_TRUE(t.ctx.trip.window1hour.full() || t.ctx.trip.window1hour.pointer() == 61);
    EXPECT_GE(t.ctx.trip.window1hour.pointer(), 59);
}

} // namespace
