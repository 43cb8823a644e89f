// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DelayTenths.h"

#include "support/FakeClock.h"

#include <gtest/gtest.h>

TEST(DelayTenths, WaitsUntilTheNthTenthProcessingEventsEvenAcrossMidnight)
{
    FakeClock clock;
    FakePump pump(clock);
    clock.setTimer(100.05);
    DelayTenths(clock, pump, 10);
    EXPECT_NEAR(clock.timer(), 101.0, 1e-6); // the first tenth ended early, at 100.1

    FakeClock late(QDateTime(QDate(2009, 1, 15), QTime(23, 59, 59, 950)));
    FakePump latePump(late);
    int turns = 0;
    latePump.onEvents = [&turns] { ++turns; };
    DelayTenths(late, latePump, 3);
    EXPECT_GE(turns, 3);
    EXPECT_EQ(late.now().date(), QDate(2009, 1, 16));
    EXPECT_NEAR(late.timer(), 0.2, 1e-6);
}
