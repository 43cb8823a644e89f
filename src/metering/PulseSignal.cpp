// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/PulseSignal.h"

#include "app/Clock.h"
#include "app/MeterSource.h"
#include "metering/MeteringContext.h"
#include "metering/PulseObserver.h"
#include "metering/Tariffs.h"

#include <QDebug>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {
// Find Mark stated how fast a disc its settings count every revolution of: a faster one is noted when it begins. A
// disc turning at the limit itself times a little either side of it: noted once it goes clearly beyond.
constexpr double ClearlyBeyond = 1.02;

void noteBeyondAssuredRange(MeteringContext& ctx)
{
    PulseState& p = ctx.pulse;
    const qint32 assured = ctx.settings.ASSURED_UP_TO_WATTS;
    const double watts = std::abs(p.measuredKW) * 1000.0;
    const bool beyond = assured > 0 && watts > assured * (p.beyondAssuredRange ? 1.0 : ClearlyBeyond);
    if (beyond && !p.beyondAssuredRange)
        qWarning().noquote() << QStringLiteral("The disc turned at %1 W, faster than the %2 W up to which the "
                                               "detection settings count every revolution; the count may be short "
                                               "until it slows.")
                                    .arg(qRound(watts))
                                    .arg(assured);
    p.beyondAssuredRange = beyond;
}

// Without COUNT_DIRECTION every revolution is forward, whatever the camera says. A reversal leaves the time since
// the last revolution spanning a stop and a start: no revolution's time.
void takeTurn(MeteringContext& ctx, TurnSeen seen)
{
    PulseState& p = ctx.pulse;
    const bool direction = ctx.settings.COUNT_DIRECTION;
    const Turn turn = direction ? seen.turn : Turn::Forward;
    if (direction && !seen.decided)
        p.undecidedPasses += 1;
    if (std::exchange(p.lastTurn, turn) != turn)
        BreakPulseTiming(ctx);
}
} // namespace

void RegisterPulse(MeteringContext& ctx, qint32 lightLevel)
{
    RegisterPulse(ctx, lightLevel, ctx.services.clock.timer(), MeterSource{});
}

void RegisterPulse(MeteringContext& ctx, qint32 lightLevel, double timer, const MeterSource& source, TurnSeen turn)
{
    PulseState& p = ctx.pulse;
    takeTurn(ctx, turn);
    p.dblGlobalTimePreviousPulse = p.dblGlobalTimeLastPulse;
    p.dblGlobalTimeLastPulse = timer;
    p.previousPulseAt = std::exchange(p.lastPulseAt, ctx.services.clock.now());
    p.counted = MeterValuesInForce(ctx);
    const bool timed = !std::exchange(p.timingBroken, false);
    if (p.dblGlobalTimePreviousPulse == -1.0) {
        p.dblGlobalInstantKW = 0.0;
        p.dblGlobalInstantCostPerHour = 0.0;
        p.measuredKW = 0.0;
    } else if (const double d = ElapsedSeconds(timer, p.lastPulseAt, p.dblGlobalTimePreviousPulse, p.previousPulseAt);
               timed && d > 0) {
        const double sign = TurnSign(p);
        p.dblGlobalInstantKW = sign * (3600.0 / d) / p.dblGlobalWkgRevsPerKWH;
        p.dblGlobalInstantCostPerHour = p.dblGlobalWkgCostPerKWH * p.dblGlobalInstantKW;
        p.measuredKW = sign * (3600.0 / d) / p.counted.revsPerKWh;
        p.powerMeasured = true;
        noteBeyondAssuredRange(ctx);
    }
    p.lngGlobalLightLevel = lightLevel;
    CountTripPulse(ctx);
    if (ctx.blnGlobalLoggingRunning)
        CountLoggingPulse(ctx);
    for (PulseObserver* observer : ctx.pulseObservers)
        observer->revolutionCounted(ctx, source);
}

void BreakPulseTiming(MeteringContext& ctx)
{
    ctx.pulse.timingBroken = true;
    ctx.pulse.powerMeasured = false;
}

namespace {
void countRunPulse(RunState& run, const PulseState& p)
{
    run.totalPulse += TurnSign(p);
    run.newPulseCount += TurnSign(p);
    run.totalKWH = run.totalPulse / p.dblGlobalWkgRevsPerKWH;
    run.totalCost = PulsesCost(run.totalPulse, run.totalSplit, p);
}

void closeTariff(qint32 pulses, TariffSplit& split, const PulseState& p)
{
    split.earlierCost = PulsesCost(pulses, split, p);
    split.earlierPulses = pulses;
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
    p.lngGlobalWkgIntervalPulseCount += TurnSign(p);
    if (p.lastTurn == Turn::Backward)
        p.intervalBackward += 1;
    p.dblGlobalWkgIntervalKWH = p.lngGlobalWkgIntervalPulseCount / p.dblGlobalWkgRevsPerKWH;
    p.dblGlobalWkgIntervalCost = PulsesCost(p.lngGlobalWkgIntervalPulseCount, p.intervalSplit, p);
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
    PulseState& p = ctx.pulse;
    const qint16 tariff = TariffInForce(ctx);
    if (tariff != p.intGlobalWkgTarrifNumber) {
        for (RunState* run : {&ctx.trip, &ctx.logging}) {
            closeTariff(run->totalPulse, run->totalSplit, p);
            closeTariff(run->newPulseCount, run->minuteSplit, p);
        }
        closeTariff(p.lngGlobalWkgIntervalPulseCount, p.intervalSplit, p);
    }
    p.dblGlobalWkgRevsPerKWH = ctx.settings.REVS_PER_KWH;
    p.dblGlobalWkgCostPerKWH = TariffCostPerKWH(ctx.settings, tariff);
    p.intGlobalWkgTarrifNumber = tariff;
}

MeterValues MeterValuesInForce(MeteringContext& ctx)
{
    const qint16 tariff = TariffInForce(ctx);
    return {ctx.settings.REVS_PER_KWH, TariffCostPerKWH(ctx.settings, tariff), tariff};
}

// The tariff number is left as it is: it goes with the working price, and both are set together above.
void ResetWorkingValues(MeteringContext& ctx)
{
    ctx.pulse.dblGlobalTimePreviousPulse = -1.0;
    ctx.pulse.dblGlobalTimeLastPulse = -1.0;
    ctx.pulse.previousPulseAt = ctx.pulse.lastPulseAt = QDateTime();
    ctx.pulse.powerMeasured = false;
    ctx.varGlobalDataArray.resetPointer();
    ctx.loggingFiles.lngGlobalLastRecordWrittenToDisk = 0;
}

qint32 TurnSign(const PulseState& p)
{
    return p.lastTurn == Turn::Backward ? -1 : 1;
}

double PulsesCost(qint32 pulses, const TariffSplit& split, const PulseState& p)
{
    return split.earlierCost + (pulses - split.earlierPulses) * p.dblGlobalWkgCostPerKWH / p.dblGlobalWkgRevsPerKWH;
}

double ElapsedSeconds(double laterTimer, const QDateTime& laterAt, double earlierTimer, const QDateTime& earlierAt)
{
    if (!laterAt.isValid() || !earlierAt.isValid())
        return SecondsBetween(laterTimer, earlierTimer);
    // The timers' difference is right to the fraction but blind to whole days; the date-times count the days, and
    // they are absolute, so a change of summer time moves nothing. The timer runs apart from the date-time by far
    // less than half a day, so the nearest whole number of days is the right one.
    const double withinDay = laterTimer - earlierTimer;
    const double days = std::round((earlierAt.msecsTo(laterAt) / 1000.0 - withinDay) / 86400.0);
    return std::max(0.0, withinDay + days * 86400.0);
}

double TruncateSeconds(double timer)
{
    return std::floor(timer);
}

QDateTime WholeSecondsNow(MeteringContext& ctx)
{
    // Moved back by its milliseconds, not rebuilt from its hours, minutes and seconds: in the hour that comes twice
    // when summer time ends, a rebuilt time may be taken for the other one, an hour away.
    const QDateTime now = ctx.services.clock.now();
    return now.addMSecs(-now.time().msec());
}

qint32 WholeSecondsBetween(const QDateTime& from, const QDateTime& to)
{
    return static_cast<qint32>(from.secsTo(to));
}
