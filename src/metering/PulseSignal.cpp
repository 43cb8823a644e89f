// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/PulseSignal.h"

#include "app/Clock.h"
#include "app/MeterSource.h"
#include "metering/MeteringContext.h"
#include "metering/PulseObserver.h"

#include <cmath>

void RegisterPulse(MeteringContext& ctx, qint32 lightLevel)
{
    RegisterPulse(ctx, lightLevel, ctx.services.clock.timer(), MeterSource{});
}

void RegisterPulse(MeteringContext& ctx, qint32 lightLevel, double timer, const MeterSource& source)
{
    PulseState& p = ctx.pulse;
    p.dblGlobalTimePreviousPulse = p.dblGlobalTimeLastPulse;
    p.dblGlobalTimeLastPulse = timer;
    const double d = SecondsBetween(p.dblGlobalTimeLastPulse, p.dblGlobalTimePreviousPulse);
    if (p.dblGlobalTimePreviousPulse == -1.0) {
        p.dblGlobalInstantKW = 0.0;
        p.dblGlobalInstantCostPerHour = 0.0;
    } else if (d > 0) {
        p.dblGlobalInstantKW = (3600.0 / d) / p.dblGlobalWkgRevsPerKWH;
        p.dblGlobalInstantCostPerHour = p.dblGlobalWkgCostPerKWH * p.dblGlobalInstantKW;
    }
    p.lngGlobalLightLevel = lightLevel;
    CountTripPulse(ctx);
    if (ctx.blnGlobalLoggingRunning)
        CountLoggingPulse(ctx);
    for (PulseObserver* observer : ctx.pulseObservers)
        observer->revolutionCounted(ctx, source);
}

namespace {
void countRunPulse(RunState& run, const PulseState& p)
{
    run.totalPulse += 1;
    run.newPulseCount += 1;
    run.totalKWH = run.totalPulse / p.dblGlobalWkgRevsPerKWH;
    run.totalCost = run.totalPulse * p.dblGlobalWkgCostPerKWH / p.dblGlobalWkgRevsPerKWH;
}
} // namespace

void CountTripPulse(MeteringContext& ctx)
{
    countRunPulse(ctx.trip, ctx.pulse);
    if (ctx.blnGlobalTripRunning && ctx.refreshTripDisplay)
        ctx.refreshTripDisplay();
}

void CountLoggingPulse(MeteringContext& ctx)
{
    PulseState& p = ctx.pulse;
    countRunPulse(ctx.logging, p);
    p.lngGlobalWkgIntervalPulseCount += 1;
    p.dblGlobalWkgIntervalKWH = p.lngGlobalWkgIntervalPulseCount / p.dblGlobalWkgRevsPerKWH;
    p.dblGlobalWkgIntervalCost = p.lngGlobalWkgIntervalPulseCount * p.dblGlobalWkgCostPerKWH / p.dblGlobalWkgRevsPerKWH;
    if (ctx.refreshLoggingDisplay)
        ctx.refreshLoggingDisplay();
}

void SetMarkOn(MeteringContext& ctx)
{
    ctx.blnGlobalMarkOn = true;
}

void SetMarkOff(MeteringContext& ctx)
{
    ctx.blnGlobalMarkOn = false;
}

void SetPulseInProgress(MeteringContext& ctx)
{
    ctx.blnGlobalPulseInProgress = true;
}

void ClearPulseInProgress(MeteringContext& ctx)
{
    ctx.blnGlobalPulseInProgress = false;
}

void RefreshRunningDisplays(MeteringContext& ctx)
{
    if (ctx.blnGlobalTripRunning && ctx.refreshTripDisplay)
        ctx.refreshTripDisplay();
    if (ctx.blnGlobalLoggingRunning && ctx.refreshLoggingDisplay)
        ctx.refreshLoggingDisplay();
}

void LoadWorkingMeterValues(MeteringContext& ctx)
{
    ctx.pulse.dblGlobalWkgRevsPerKWH = ctx.settings.REVS_PER_KWH;
    ctx.pulse.dblGlobalWkgCostPerKWH = ctx.settings.COST_PER_KWH;
    ctx.pulse.intGlobalWkgTarrifNumber = 1;
}

void ResetWorkingValues(MeteringContext& ctx)
{
    ctx.pulse.dblGlobalTimePreviousPulse = -1.0;
    ctx.pulse.dblGlobalTimeLastPulse = -1.0;
    ctx.pulse.intGlobalWkgTarrifNumber = 1;
    ctx.varGlobalDataArray.resetPointer();
    ctx.loggingFiles.lngGlobalLastRecordWrittenToDisk = 0;
}

double SecondsBetween(double later, double earlier)
{
    return later >= earlier ? later - earlier : later + 86400.0 - earlier;
}

double TruncateSeconds(double timer)
{
    return std::floor(timer);
}

QDateTime WholeSecondsNow(MeteringContext& ctx)
{
    QDateTime now = ctx.services.clock.now();
    const QTime t = now.time();
    now.setTime(QTime(t.hour(), t.minute(), t.second()));
    return now;
}

qint32 WholeSecondsBetween(const QDateTime& from, const QDateTime& to)
{
    return static_cast<qint32>(from.secsTo(to));
}
