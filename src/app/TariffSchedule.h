// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// A stretch of the local wall-clock day in minutes since midnight; an end of 1440 is the midnight that ends the
// day. A range whose end comes before its start crosses midnight.
struct TariffRange
{
    int startMinute = 0;
    int endMinute = 0;

    bool operator==(const TariffRange&) const = default;
};

// The hours of tariff 2 as TARIFF_2_HOURS writes them: "22:00-06:00", several ranges separated by commas,
// "00:00-24:00" for the whole day, nothing for none. `problem` names the first range that is not one, and then
// `ranges` is empty.
struct TariffHours
{
    QList<TariffRange> ranges;
    QString problem;

    static TariffHours parse(const QString& text);
};

// The tariff in force at a local date-time: 2 when its time of day falls in one of the ranges, or when it is a
// Saturday or a Sunday and allWeekend is set; 1 otherwise. The wall clock decides, so the hours follow local time
// through daylight-saving changes.
int ScheduledTariff(const QList<TariffRange>& ranges, bool allWeekend, const QDateTime& local);
