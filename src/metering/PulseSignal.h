// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Clock.h"

#include <QDateTime>
#include <QtGlobal>

struct MeteringContext;
struct MeterSource;
struct MeterValues;
struct PulseState;
struct TariffSplit;

// Which way the disc turned for one revolution: backwards while the home exports, told apart with COUNT_DIRECTION.
enum class Turn
{
    Forward,
    Backward
};
// A revolution's turn as the camera told it; not `decided` when its pass did not tell and it was taken to turn as
// the passes around it did.
struct TurnSeen
{
    Turn turn = Turn::Forward;
    bool decided = true;
};

// One revolution of the meter disc, from no source (the pulse simulator): times it against the previous one
// and counts it.
void RegisterPulse(MeteringContext& ctx, qint32 lightLevel);
// As above for a revolution that `source` saw at clock time `timer` (when its frame was taken) rather than now.
void RegisterPulse(MeteringContext& ctx, qint32 lightLevel, double timer, const MeterSource& source,
                   TurnSeen turn = {});
// The camera stopped, or the mark is seen by other cells or levels from now on: the time from the last revolution
// to the next spans revolutions nobody saw or is measured on another edge, so the next revolution keeps the power
// shown and starts timing anew.
void BreakPulseTiming(MeteringContext& ctx);
void CountTripPulse(MeteringContext& ctx);
void CountLoggingPulse(MeteringContext& ctx);

void SetMarkOn(MeteringContext& ctx);
void SetMarkOff(MeteringContext& ctx);
void SetPulseInProgress(MeteringContext& ctx);
void ClearPulseInProgress(MeteringContext& ctx);

// Refreshes the trip screen and the logging screen, each only while its run goes on.
void RefreshRunningDisplays(MeteringContext& ctx);

// The working meter constant, and the tariff in force with its price (see Tariffs.h). A change of tariff first
// closes every count's share of the tariff that ends, at the price it had.
void LoadWorkingMeterValues(MeteringContext& ctx);
void ResetWorkingValues(MeteringContext& ctx);
// The meter constant and the tariff with its price that the settings and the tariff schedule (or command) put in
// force now, whether a run goes or not.
MeterValues MeterValuesInForce(MeteringContext& ctx);

// What the last revolution adds to a count: -1 when it turned backwards, else 1.
qint32 TurnSign(const PulseState& p);
// The cost of `pulses` revolutions split as given: count times price divided by the meter constant for the share of
// the tariff in force.
double PulsesCost(qint32 pulses, const TariffSplit& split, const PulseState& p);

// The seconds from one moment to a later one, each given as the clock's timer (for its fraction) and the clock's
// date-time when it was read (for the days). Never negative: a revolution placed between frames can lie a little
// after the clock read at once, which is no day away. Any number of days: a disc that stood still for longer than
// a day did not turn a moment ago.
double ElapsedSeconds(double laterTimer, const QDateTime& laterAt, double earlierTimer, const QDateTime& earlierAt);
double TruncateSeconds(double timer);
// The clock's local date-time cut to whole seconds, as every calendar time of the metering is kept.
QDateTime WholeSecondsNow(MeteringContext& ctx);
// Whole seconds from one date-time to another.
qint32 WholeSecondsBetween(const QDateTime& from, const QDateTime& to);
