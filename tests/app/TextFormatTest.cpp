// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TextFormat.h"

#include "app/DelayTenths.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>
#include <random>

// In the namespace under test: a using-directive would also reach the test files compiled after this one.
namespace TextFormat {

TEST(TextFormat, GeneralNumbersFollowPrintfG15ReadStrictlyAndRoundHalfToEven)
{
    char buf[64];
    for (double v : {300.0, 0.0000001, 0.12, 1e15, 123456789012345.0, 0.1 + 0.2, 0.0001, 0.00001, 1.0 / 3.0,
                     9.99999999999999e-5, 1e100, -42.125}) {
        std::snprintf(buf, sizeof buf, "%.15G", v);
        EXPECT_EQ(formatGeneral(v), QString::fromLatin1(buf)) << v;
    }
    EXPECT_EQ(formatGeneral(-0.0), "0");
    EXPECT_EQ(formatGeneral(2.5, QLatin1Char(',')), "2,5");

    for (auto [text, value] :
         {std::pair{u"7.5", 7.5}, {u"  -12 ", -12.0}, {u"+3", 3.0}, {u"1E-07", 1e-7}, {u".5", 0.5}, {u"5.", 5.0}})
        EXPECT_EQ(parseNumber(text), value) << QString::fromUtf16(text).toStdString();
    EXPECT_EQ(parseNumber(u"2,5", QLatin1Char(',')), 2.5);
    for (const char16_t* bad : {u"", u" ", u"-", u".", u"abc", u"1.2.3", u"12-3", u"1E", u"1,5", u"0x10", u"1e999"})
        EXPECT_FALSE(isNumber(bad)) << QString::fromUtf16(bad).toStdString();

    // Rounding goes half to even.
    EXPECT_EQ(std::tuple(roundHalfEven(2.5), roundHalfEven(3.5), roundHalfEven(-2.5), roundToPlaces(2.5, 0)),
              std::tuple(2.0, 4.0, -2.0, 2.0));
    EXPECT_DOUBLE_EQ(roundToPlaces(0.125, 2), 0.12);
    EXPECT_DOUBLE_EQ(roundToPlaces(1.23456789, 4), 1.2346);
    EXPECT_EQ(trimSpaces(QStringLiteral("  a b \t ")), QStringLiteral("a b \t"));
}

TEST(DelayTenths, WaitsUntilTheNthTenthProcessingEventsEvenAcrossMidnight)
{
    FakeClock clock;
    FakePump pump(clock);
    clock.setTimer(100.05);
    DelayTenths(clock, pump, 10);
    EXPECT_NEAR(clock.timer(), 101.0, 1e-6); // the first tenth ended early, at 100.1

    FakeClock late(QDateTime(QDate(2009, 1, 15), QTime(23, 59, 59, 950)));
    FakePump latePump(late);
    int turns = 0;
    latePump.onEvents = [&turns] { ++turns; };
    DelayTenths(late, latePump, 3);
    EXPECT_GE(turns, 3);
    EXPECT_EQ(late.now().date(), QDate(2009, 1, 16));
    EXPECT_NEAR(late.timer(), 0.2, 1e-6);
}

namespace {

// The UK format pinned; then the quick reader must answer exactly as the locale's own parser for every text,
// well-formed or not, and every written date must read back to the second.
TEST(GeneralDateFormat, UkFormatShowsMidnightAsDateAloneAndEveryLocaleRoundTripsAndParsesAsItsOwnParser)
{
    const GeneralDateFormat uk(QLocale(QLocale::English, QLocale::UnitedKingdom));
    const QDateTime morning(QDate(2009, 1, 15), QTime(9, 38, 7)), day(QDate(2009, 1, 15), QTime(0, 0));
    EXPECT_EQ(uk.format(morning) + '|' + uk.format(day), "15/01/2009 09:38:07|15/01/2009");
    EXPECT_EQ(std::tuple(uk.parse(u"15/01/2009 09:38:07"), uk.parse(u"15/01/2009"), uk.parse(u"09:38:07")),
              std::tuple(morning, day, QDateTime(QDate(1899, 12, 30), QTime(9, 38, 7))));
    EXPECT_FALSE(uk.parse(u"not a date") || uk.parse(u""));
    std::mt19937 random(12345);
    for (const char* name : {"en_GB", "en_US", "de_DE", "fr_FR", "ja_JP", "nl_NL", "C"}) {
        const QLocale locale(QString::fromLatin1(name));
        const GeneralDateFormat f(locale);
        QStringList texts;
        for (int i = 0; i <= 300; ++i) {
            const QDateTime t = i == 300 ? QDateTime(QDate(-144, 1, 7), QTime(10, 0, 0))
                                         : QDateTime(QDate(1990, 1, 1).addDays(random() % 20000),
                                                     QTime::fromMSecsSinceStartOfDay(int(random() % 86400) * 1000));
            const QDateTime midnight(t.date(), QTime(0, 0));
            ASSERT_EQ(f.parse(f.format(t)), t) << locale.name().toStdString() << " " << f.format(t).toStdString();
            ASSERT_EQ(f.parse(f.format(midnight)), midnight) << locale.name().toStdString();
            texts << f.format(t) << f.format(midnight);
        }
        QStringList mutated;
        for (const QString& text : texts) {
            const qsizetype at = qsizetype(random() % quint32(text.size()));
            mutated << QStringLiteral("  ") + text + QStringLiteral(" ") << text + QStringLiteral("x")
                    << QString(text).insert(at, QLatin1Char('0')) << QString(text).remove(at, 1)
                    << QString(text).replace(QLatin1Char(' '), QStringLiteral("  ")) << text.toLower()
                    << QString(text).replace(at, 1, QLatin1Char('9'));
        }
        texts << mutated;
        texts << QStringLiteral("31/02/2009") << QStringLiteral("2/31/2009") << QStringLiteral("12:00:00 AM")
              << QStringLiteral("0:30:00 PM") << QStringLiteral("13:00:00 PM") << QStringLiteral("24:00:00")
              << QStringLiteral("5/1/2009 12:00:00 AM") << QStringLiteral("05/01/2009 23:59:60") << QString()
              << QStringLiteral("09:03:07");
        for (const QString& text : texts)
            ASSERT_EQ(f.parse(text), f.parseWithLocale(text))
                << locale.name().toStdString() << " [" << text.toStdString() << "]";
    }
}

} // namespace
} // namespace TextFormat
