// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary text as the hours of tariff 2: either ranges on the clock or a problem that names one, never both;
// and the schedule answers 1 or 2 for any of them at any time of the week.
#include "FuzzServices.h"
#include "app/TariffSchedule.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const TariffHours hours =
        TariffHours::parse(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    check(hours.problem.isEmpty() || hours.ranges.isEmpty());
    for (const TariffRange& r : hours.ranges)
        check(r.startMinute >= 0 && r.startMinute < 1440 && r.endMinute >= 0 && r.endMinute <= 1440);
    for (int day = 0; day < 7; ++day) {
        const QDateTime at(QDate(2026, 3, 23).addDays(day), QTime(0, 0).addSecs(size % 86400));
        const int tariff = ScheduledTariff(hours.ranges, size % 2 == 0, at);
        check(tariff == 1 || tariff == 2);
    }
    return 0;
}
