// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Clock.h"
#include "app/EventPump.h"

#include <functional>
#include <tuple>

// A clock that moves only when told; timer() follows the date-time's time of day, so midnight wraps.
class FakeClock : public Clock
{
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2009, 1, 15), QTime(9, 0, 0))) : m_now(start) {}

    double timer() override { return m_now.time().msecsSinceStartOfDay() / 1000.0 + m_subMs; }
    QDateTime now() override { return m_now; }

    void advance(double seconds);
    // Sets the time of day on the current date (seconds since midnight, fraction kept).
    void setTimer(double secondsSinceMidnight);
    void setNow(const QDateTime& now) { std::tie(m_now, m_subMs) = std::tuple(now, 0.0); }

private:
    QDateTime m_now;
    double m_subMs = 0.0; // sub-millisecond remainder, kept so that fractional advances add up exactly
};

// The event pump of tests: waiting advances the fake clock instead of sleeping. Each turn can run a hook
// (for example a scripted pulse or a re-entrant tick).
class FakePump : public EventPump
{
public:
    explicit FakePump(FakeClock& clock) : m_clock(clock) {}

    void processEvents() override;
    void waitForEvents(int milliseconds) override;

    std::function<void()> onEvents;
    int waits = 0;
    double waitedSeconds = 0.0;

private:
    FakeClock& m_clock;
};
