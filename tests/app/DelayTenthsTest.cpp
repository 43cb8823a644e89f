// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DelayTenths.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

TEST(DelayTenths, WaitsBetweenNMinusOneAndNTenthsOfFakeTime)
{
    FakeClock clock;
    FakePump pump(clock);
    clock.setTimer(100.05);
    DelayTenths(clock, pump, 10);
    EXPECT_NEAR(clock.timer(), 101.0, 1e-6); // the first tenth ended early, at 100.1
    clock.setTimer(200.0);
    DelayTenths(clock, pump, 10);
    EXPECT_NEAR(clock.timer(), 201.0, 1e-6);
    EXPECT_GT(pump.waits, 0);
}

TEST(DelayTenths, ProcessesEventsWhileWaitingAndCrossesMidnight)
{
    FakeClock clock(QDateTime(QDate(2009, 1, 15), QTime(23, 59, 59, 950)));
    FakePump pump(clock);
    int turns = 0;
    pump.onEvents = [&turns] { ++turns; };
    DelayTenths(clock, pump, 3);
    EXPECT_GE(turns, 3);
    EXPECT_EQ(clock.now().date(), QDate(2009, 1, 16));
    EXPECT_NEAR(clock.timer(), 0.2, 1e-6);
}
