// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QElapsedTimer>

// The program's view of time: seconds since local midnight (with the one-midnight wrap that
// elapsed-time arithmetic relies on) and the local calendar date-time.
class Clock
{
public:
    virtual ~Clock() = default;
    // Seconds since local midnight, fraction included; falls back to 0 at midnight.
    virtual double timer() = 0;
    virtual QDateTime now() = 0;
};

// Arithmetic on the timer's seconds since midnight.
// later - earlier, allowing one midnight crossing.
double SecondsBetween(double later, double earlier);
// later - earlier on a one-midnight scale, negative when `later` lies up to half a day before `earlier`.
double SecondsAhead(double later, double earlier);
// Any number of seconds brought into one day, [0, 86400).
double WrapDay(double seconds);

// Anchored to a monotonic clock at start-up so that timer() never jumps at DST changes or clock adjustments.
class SystemClock : public Clock
{
public:
    SystemClock();
    double timer() override;
    QDateTime now() override;

private:
    QElapsedTimer m_elapsed;
    double m_anchorSecondsSinceMidnight = 0.0;
};

// Without TZ set, the C library looks at /etc/localtime again on every local-time conversion: reading a data
// file of a million records then spends most of its time in the file system. Pointing TZ at the same file
// keeps the zone and reads it once. Call before any thread or timer starts; a set TZ is left alone.
void readLocalTimeZoneOnce();
