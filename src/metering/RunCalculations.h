// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

struct MeteringContext;
struct RunState;

// The once-a-minute work that the trip and the logging do alike, each on its own RunState.

// Returns once no pulse is being registered; waits in tenths of a second that keep processing events, so
// the pulse in progress can finish and its count lands in the minute it belongs to.
void WaitWhilePulseInProgress(MeteringContext& ctx);

// Closes the running minute of a run (TripTimer / LoggingTimer): waits for a pulse in progress, updates the
// run's seconds (the logging counts them at each record instead), moves the minute's pulses into both
// windows, then reloads the working meter values.
enum class RunSeconds
{
    Update,
    Keep
};
// False when the run was reset while it waited for a pulse to end: nothing is closed then.
bool CloseRunMinute(MeteringContext& ctx, RunState& run, RunSeconds seconds = RunSeconds::Update);

// Recomputes the run's 5-minute and 1-hour averages from its windows (TripCalculations /
// LoggingCalculations).
void CalculateRunAverages(RunState& run);

// Zeroes the run's counters, totals, averages and windows and starts it at the clock's now; the timer
// readings of its last minute update and refresh become the clock's timer. Leaves the pulse timing alone.
void ResetRunState(MeteringContext& ctx, RunState& run);

// "#####00h 00m 00s": hours with at least two digits, minutes and seconds with two.
QString ElapsedTimeText(qint64 seconds);
// A figure rounded to the given places (halves to even), in the shortest general form with the locale's
// decimal separator.
QString RoundedText(double value, int places, const QLocale& locale);
