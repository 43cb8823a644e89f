// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TariffSchedule.h"

#include <QRegularExpression>

namespace {

// Minutes since midnight of "H:MM" or "HH:MM"; 24:00 only where it may end a range. -1 when not on the clock.
int minuteOfDay(const QString& hours, const QString& minutes, bool isEnd)
{
    const int h = hours.toInt();
    const int m = minutes.toInt();
    if (m > 59 || h > 24 || (h == 24 && (m != 0 || !isEnd)))
        return -1;
    return h * 60 + m;
}

} // namespace

TariffHours TariffHours::parse(const QString& text)
{
    static const QRegularExpression rangePattern(
        QStringLiteral("^([0-9]{1,2}):([0-9]{2})\\s*-\\s*([0-9]{1,2}):([0-9]{2})$"));
    TariffHours hours;
    if (text.trimmed().isEmpty())
        return hours;
    for (const QString& item : text.split(QLatin1Char(','))) {
        const QString range = item.trimmed();
        const QRegularExpressionMatch match = rangePattern.match(range);
        QString problem;
        if (range.isEmpty()) {
            problem = QStringLiteral("Tariff 2 hours: a range is missing between two commas or at either end");
        } else if (!match.hasMatch()) {
            problem = QStringLiteral("Tariff 2 hours: \"%1\" is not a range of times such as 22:00-06:00").arg(range);
        } else {
            const int start = minuteOfDay(match.captured(1), match.captured(2), false);
            const int end = minuteOfDay(match.captured(3), match.captured(4), true);
            if (start < 0 || end < 0)
                problem = QStringLiteral("Tariff 2 hours: \"%1\" holds a time that is not on the clock (00:00 to "
                                         "23:59, and 24:00 to end a range)")
                              .arg(range);
            else if (start == end)
                problem = QStringLiteral("Tariff 2 hours: \"%1\" ends where it begins; 00:00-24:00 is the whole day")
                              .arg(range);
            else
                hours.ranges.append(TariffRange{start, end});
        }
        if (!problem.isEmpty())
            return TariffHours{{}, problem};
    }
    return hours;
}

int ScheduledTariff(const QList<TariffRange>& ranges, bool allWeekend, const QDateTime& local)
{
    const QDate day = local.date();
    if (allWeekend && day.dayOfWeek() >= Qt::Saturday)
        return 2;
    const QTime time = local.time();
    const int minute = time.hour() * 60 + time.minute();
    for (const TariffRange& r : ranges) {
        const bool inside = r.startMinute < r.endMinute ? minute >= r.startMinute && minute < r.endMinute
                                                        : minute >= r.startMinute || minute < r.endMinute;
        if (inside)
            return 2;
    }
    return 1;
}
