// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Clock.h"

#include <QFile>
#include <cmath>
#include <ctime>

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

void readLocalTimeZoneOnce()
{
    if (qEnvironmentVariableIsSet("TZ") || !QFile::exists(QStringLiteral("/etc/localtime")))
        return;
    qputenv("TZ", ":/etc/localtime");
    tzset();
}
