// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/ScreenVariables.h"

#include "RunFixture.h"
#include "metering/PulseSignal.h"
#include "metering/TripEngine.h"

#include <gtest/gtest.h>

namespace {

QString valueOf(const ScreenVariables& rows, const QString& name)
{
    for (const ScreenVariable& row : rows)
        if (row.name == name)
            return row.value;
    ADD_FAILURE() << "no row " << name.toStdString();
    return {};
}

using ScreenVariablesTest = RunFixture;

TEST_F(ScreenVariablesTest, TripRowsShowTheRunningTripInTheirTypesForms)
{
    t.ctx.settings.REVS_PER_KWH = 1000;
    TripEngine engine(t.ctx);
    t.clock.setNow(QDateTime(QDate(2009, 1, 15), QTime(9, 0, 0)));
    engine.startButton();
    for (int i = 0; i < 3; ++i) {
        t.clock.advance(1.5);
        RegisterPulse(t.ctx, 1);
    }
    tickFor(engine, 60);
    const ScreenVariables rows = TripScreenVariables(t.ctx);
    ASSERT_EQ(rows.size(), 21u);
    EXPECT_EQ(valueOf(rows, "lngGlobalWkgTripOldPulseCount"), "3");
    EXPECT_EQ(valueOf(rows, "dteGlobalWkgTripStartTime"), "15/01/2009 09:00:00");
    EXPECT_EQ(valueOf(rows, "dblGlobalWkgTripTotalKWH"), "0.003");
    EXPECT_EQ(valueOf(rows, "intGlobalTrip5minPointer"), "2");
    EXPECT_EQ(valueOf(rows, "dblGlobalTimeLastTRIPScreenCalculationEvent"), "32460"); // 09:01:00, whole seconds
    EXPECT_EQ(valueOf(rows, "lngGlobalMillisecondsPerTripScreenUpdate"), "1000");

    t.ctx.locale = QLocale(QLocale::German, QLocale::Germany);
    EXPECT_EQ(valueOf(TripScreenVariables(t.ctx), "dblGlobalWkgTripTotalKWH"), "0,003");
}

TEST(ScreenVariables, LoggingRowsReadTheLoggingRunNotTheTrip)
{
    TestContext t;
    t.ctx.trip.totalPulse = 7;
    t.ctx.logging.totalPulse = 42;
    t.ctx.logging.avg1hourCost = 0.125;
    t.ctx.loggingFiles.dblGlobalTimeLastLOGGINGevent = 86399;
    t.ctx.blnGlobalTripRunning = true;
    const ScreenVariables rows = LoggingScreenVariables(t.ctx);
    ASSERT_EQ(rows.size(), 21u);
    EXPECT_EQ(valueOf(rows, "lngGlobalWkgLoggingTotalPulse"), "42");
    EXPECT_EQ(valueOf(rows, "dblGlobalWkgLogging1hourAvgCost"), "0.125");
    EXPECT_EQ(valueOf(rows, "blnGlobalLoggingRunning"), "False");
    EXPECT_EQ(valueOf(rows, "dteGlobalWkgLoggingStartTime"), "") << "never started";
    EXPECT_EQ(valueOf(rows, "dblGlobalTimeLastLOGGINGevent"), "86399");
}

} // namespace
