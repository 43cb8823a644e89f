// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/RunCalculations.h"

#include "app/Clock.h"
#include "app/DelayTenths.h"
#include "app/TextFormat.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"

void WaitWhilePulseInProgress(MeteringContext& ctx)
{
    while (ctx.blnGlobalPulseInProgress)
        DelayTenths(ctx.services.clock, ctx.services.pump, 1);
}

bool CloseRunMinute(MeteringContext& ctx, RunState& run, RunSeconds seconds)
{
    const quint32 runNumber = run.number;
    WaitWhilePulseInProgress(ctx);
    if (run.number != runNumber)
        return false; // restarted during the wait: the minute belonged to the old run
    const QDateTime now = ctx.services.clock.now();
    if (seconds == RunSeconds::Update)
        run.seconds = WholeSecondsBetween(run.startTime, now);
    const PulseState& p = ctx.pulse;
    const double cost = PulsesCost(run.newPulseCount, run.minuteSplit, p);
    run.oldPulseCount = run.newPulseCount;
    run.newPulseCount = 0;
    run.minuteSplit = TariffSplit{};
    run.window5min.closeMinute(run.oldPulseCount, now, p.dblGlobalWkgRevsPerKWH, cost, p.intGlobalWkgTarrifNumber);
    run.window1hour.closeMinute(run.oldPulseCount, now, p.dblGlobalWkgRevsPerKWH, cost, p.intGlobalWkgTarrifNumber);
    LoadWorkingMeterValues(ctx);
    return true;
}

void CalculateRunAverages(RunState& run)
{
    const WindowAverages a5 = run.window5min.averages();
    const WindowAverages a60 = run.window1hour.averages();
    run.avg5minKWH = a5.power;
    run.avg5minCost = a5.costPerHour;
    run.avg1hourKWH = a60.power;
    run.avg1hourCost = a60.costPerHour;
}

void ResetRunState(MeteringContext& ctx, RunState& run)
{
    ++run.number;
    run.timerTicksCounted = 0;
    const double t = ctx.services.clock.timer();
    run.timeLastScreenUpdateEvent = t;
    run.timeLastCalculationEvent = t;
    // Whole seconds, like the records' times, so "seconds since the start" never comes out one short.
    run.startTime = WholeSecondsNow(ctx);
    run.newPulseCount = 0;
    run.oldPulseCount = 0;
    run.totalPulse = 0;
    run.totalSplit = TariffSplit{};
    run.minuteSplit = TariffSplit{};
    run.seconds = 0;
    run.secondsSincePulse = -1.0;
    run.totalKWH = 0.0;
    run.totalCost = 0.0;
    run.avg5minKWH = 0.0;
    run.avg1hourKWH = 0.0;
    run.avg5minCost = 0.0;
    run.avg1hourCost = 0.0;
    run.window5min.clear();
    run.window1hour.clear();
}

QString ElapsedTimeText(qint64 seconds)
{
    // A clock set back makes the time negative: one sign in front, not one inside every part.
    const QString sign = seconds < 0 ? QStringLiteral("-") : QString();
    const qint64 magnitude = seconds < 0 ? -seconds : seconds;
    const qint64 r = magnitude % 3600;
    return sign + QStringLiteral("%1h %2m %3s")
                      .arg(magnitude / 3600, 2, 10, QLatin1Char('0'))
                      .arg(r / 60, 2, 10, QLatin1Char('0'))
                      .arg(r % 60, 2, 10, QLatin1Char('0'));
}

QString RoundedText(double value, int places, const QLocale& locale)
{
    const QString decimal = locale.decimalPoint();
    const QChar point = decimal.isEmpty() ? QLatin1Char('.') : decimal.front();
    return TextFormat::formatGeneral(TextFormat::roundToPlaces(value, places), point);
}
