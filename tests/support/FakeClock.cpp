// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/FakeClock.h"

#include <cmath>

void FakeClock::advance(double seconds)
{
    const double totalMs = seconds * 1000.0 + m_subMs * 1000.0;
    const double wholeMs = std::floor(totalMs);
    m_now = m_now.addMSecs(static_cast<qint64>(wholeMs));
    m_subMs = (totalMs - wholeMs) / 1000.0;
}

void FakeClock::setTimer(double secondsSinceMidnight)
{
    const double wholeMs = std::floor(secondsSinceMidnight * 1000.0);
    m_now = QDateTime(m_now.date(), QTime::fromMSecsSinceStartOfDay(static_cast<int>(wholeMs)));
    m_subMs = (secondsSinceMidnight * 1000.0 - wholeMs) / 1000.0;
}

void FakePump::processEvents()
{
    if (onEvents)
        onEvents();
}

void FakePump::waitForEvents(int milliseconds)
{
    ++waits;
    waitedSeconds += milliseconds / 1000.0;
    m_clock.advance(milliseconds / 1000.0);
    processEvents();
}
