// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TariffSchedule.h"

#include <gtest/gtest.h>

namespace {

int tariffAt(const QString& hours, const QTime& time, bool allWeekend = false, QDate day = QDate(2009, 1, 15))
{
    const TariffHours h = TariffHours::parse(hours);
    EXPECT_EQ(h.problem.toStdString(), "");
    return ScheduledTariff(h.ranges, allWeekend, QDateTime(day, time));
}

} // namespace

TEST(TariffSchedule, RangesMayCrossMidnightCoverTheWholeDayOrCombineWeekendsAreWholeDaysAndEachBadRangeIsNamed)
{
    EXPECT_EQ(TariffHours::parse(QStringLiteral(" 22:00 - 06:00, 7:30-24:00")).ranges,
              (QList<TariffRange>{{22 * 60, 6 * 60}, {7 * 60 + 30, 24 * 60}}));

    const QString night = QStringLiteral("22:00-06:00");
    EXPECT_EQ(std::tuple(tariffAt(night, QTime(21, 59, 59)), tariffAt(night, QTime(22, 0)),
                         tariffAt(night, QTime(5, 59, 59)), tariffAt(night, QTime(6, 0))),
              std::tuple(1, 2, 2, 1));
    EXPECT_EQ(tariffAt(QStringLiteral("00:00-24:00"), QTime(23, 59, 59)), 2);
    EXPECT_EQ(tariffAt(QStringLiteral("01:00-02:00,13:00-14:00"), QTime(13, 30)), 2);

    const QDate saturday(2009, 1, 17), sunday(2009, 1, 18), monday(2009, 1, 19);
    EXPECT_EQ(tariffAt(night, QTime(12, 0), true, saturday), 2);
    EXPECT_EQ(tariffAt(night, QTime(23, 59), true, sunday), 2);
    EXPECT_EQ(tariffAt(night, QTime(12, 0), true, monday), 1);
    EXPECT_EQ(tariffAt(night, QTime(0, 30), true, monday), 2) << "the night from Sunday still runs on Monday";

    // A bad range is named in the problem, and nothing is kept.
    const std::pair<const char*, const char*> cases[] = {
        {"22:00-06:00, 25:00-06:00", "Tariff 2 hours: \"25:00-06:00\" holds a time that is not on the clock (00:00 "
                                     "to 23:59, and 24:00 to end a range)"},
        {"24:00-06:00", "Tariff 2 hours: \"24:00-06:00\" holds a time that is not on the clock (00:00 to 23:59, and "
                        "24:00 to end a range)"},
        {"22:00", "Tariff 2 hours: \"22:00\" is not a range of times such as 22:00-06:00"},
        {"06:00-06:00", "Tariff 2 hours: \"06:00-06:00\" ends where it begins; 00:00-24:00 is the whole day"},
        {"22:00-06:00,", "Tariff 2 hours: a range is missing between two commas or at either end"},
    };
    for (const auto& [text, problem] : cases) {
        const TariffHours h = TariffHours::parse(QString::fromUtf8(text));
        EXPECT_EQ(h.problem.toStdString(), problem);
        EXPECT_TRUE(h.ranges.isEmpty()) << text;
    }
}
