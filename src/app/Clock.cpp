// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Clock.h"

#include <cmath>

SystemClock::SystemClock()
{
    const QTime t = QTime::currentTime();
    m_anchorSecondsSinceMidnight = t.msecsSinceStartOfDay() / 1000.0;
    m_elapsed.start();
}

double SystemClock::timer()
{
    const double seconds = m_anchorSecondsSinceMidnight + static_cast<double>(m_elapsed.nsecsElapsed()) / 1e9;
    return std::fmod(seconds, 86400.0);
}

QDateTime SystemClock::now()
{
    return QDateTime::currentDateTime();
}
