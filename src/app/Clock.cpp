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

namespace {
constexpr double Day = 86400.0;
} // namespace

double SecondsBetween(double later, double earlier)
{
    return later >= earlier ? later - earlier : later + Day - earlier;
}

double SecondsAhead(double later, double earlier)
{
    const double d = WrapDay(later - earlier);
    return d < Day / 2 ? d : d - Day;
}

double WrapDay(double seconds)
{
    const double t = std::fmod(seconds, Day);
    return t < 0.0 ? t + Day : t;
}

double SystemClock::timer()
{
    const double seconds = m_anchorSecondsSinceMidnight + static_cast<double>(m_elapsed.nsecsElapsed()) / 1e9;
    return WrapDay(seconds);
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
