// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/ScreenVariables.h"

#include "RunFixture.h"
#include "metering/PulseSignal.h"
#include "metering/TripEngine.h"

#include <gtest/gtest.h>

namespace {

// The named rows' values joined by "|".
QString valuesOf(const ScreenVariables& rows, std::initializer_list<const char*> names)
{
    QStringList out;
    for (const char* name : names)
        for (const ScreenVariable& row : rows)
            if (row.name == QLatin1String(name))
                out << row.value;
    return out.join(QLatin1Char('|'));
}

using ScreenVariablesTest = RunFixture;

// Trip rows show the running trip in their types' forms; logging rows read the logging run, not the trip.
TEST_F(ScreenVariablesTest, TripAndLoggingRowsShowTheirOwnRunInTheirTypesForms)
{
    t.ctx.settings.REVS_PER_KWH = 1000;
    TripEngine engine(t.ctx);
    engine.startButton();
    for (int i = 0; i < 3; ++i) {
        t.clock.advance(1.5);
        RegisterPulse(t.ctx, 1);
    }
    tickFor(engine, 60);
    const ScreenVariables trip = TripScreenVariables(t.ctx);
    ASSERT_EQ(trip.size(), 21u);
    EXPECT_EQ(valuesOf(trip, {"lngGlobalWkgTripOldPulseCount", "dteGlobalWkgTripStartTime", "dblGlobalWkgTripTotalKWH",
                              "intGlobalTrip5minPointer", "dblGlobalTimeLastTRIPScreenCalculationEvent"}),
              "3|15/01/2009 09:00:00|0.003|2|32460"); // 09:01:00, whole seconds
    t.ctx.locale = QLocale(QLocale::German, QLocale::Germany);
    EXPECT_EQ(valuesOf(TripScreenVariables(t.ctx), {"dblGlobalWkgTripTotalKWH"}), "0,003");

    t.ctx.logging.totalPulse = 42;
    t.ctx.logging.avg1hourCost = 0.125;
    t.ctx.loggingFiles.dblGlobalTimeLastLOGGINGevent = 86399;
    const ScreenVariables logging = LoggingScreenVariables(t.ctx);
    ASSERT_EQ(logging.size(), 21u);
    EXPECT_EQ(
        valuesOf(logging, {"lngGlobalWkgLoggingTotalPulse", "dblGlobalWkgLogging1hourAvgCost",
                           "blnGlobalLoggingRunning", "dteGlobalWkgLoggingStartTime", "dblGlobalTimeLastLOGGINGevent"}),
        "42|0,125|False||86399"); // never started: no start time
}

} // namespace
