// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TextFormat.h"

#include <gtest/gtest.h>

using namespace TextFormat;

TEST(TextFormat, GeneralNumberFollowsPrintfG15)
{
    EXPECT_EQ(formatGeneral(300), "300");
    EXPECT_EQ(formatGeneral(5), "5");
    EXPECT_EQ(formatGeneral(0.0000001), "1E-07");
    EXPECT_EQ(formatGeneral(0.5), "0.5");
    EXPECT_EQ(formatGeneral(0.12), "0.12");
    EXPECT_EQ(formatGeneral(-0.0), "0");
    EXPECT_EQ(formatGeneral(1e15), "1E+15");
    EXPECT_EQ(formatGeneral(123456789012345.0), "123456789012345");
    EXPECT_EQ(formatGeneral(0.1 + 0.2), "0.3");
    EXPECT_EQ(formatGeneral(0.0001), "0.0001");
    EXPECT_EQ(formatGeneral(0.00001), "1E-05");
    EXPECT_EQ(formatGeneral(2.5, QLatin1Char(',')), "2,5");
    char buf[64];
    for (double v : {1.0 / 3.0, 12345.678, 9.99999999999999e-5, 1e100, -42.125}) {
        std::snprintf(buf, sizeof buf, "%.15G", v);
        EXPECT_EQ(formatGeneral(v), QString::fromLatin1(buf)) << v;
    }
}

TEST(TextFormat, NumberParsingIsStrict)
{
    EXPECT_EQ(parseNumber(u"7.5"), 7.5);
    EXPECT_EQ(parseNumber(u"  -12 "), -12.0);
    EXPECT_EQ(parseNumber(u"+3"), 3.0);
    EXPECT_EQ(parseNumber(u"1E-07"), 1e-7);
    EXPECT_EQ(parseNumber(u".5"), 0.5);
    EXPECT_EQ(parseNumber(u"5."), 5.0);
    EXPECT_EQ(parseNumber(u"2,5", QLatin1Char(',')), 2.5);
    for (const char16_t* bad : {u"", u" ", u"-", u".", u"abc", u"1.2.3", u"12-3", u"1E", u"1,5", u"0x10", u"1e999"})
        EXPECT_FALSE(isNumber(bad)) << QString::fromUtf16(bad).toStdString();
}

TEST(TextFormat, RoundingGoesHalfToEven)
{
    EXPECT_EQ(roundHalfEven(2.5), 2.0);
    EXPECT_EQ(roundHalfEven(3.5), 4.0);
    EXPECT_EQ(roundHalfEven(-2.5), -2.0);
    EXPECT_EQ(roundHalfEven(1.5), 2.0);
    EXPECT_DOUBLE_EQ(roundToPlaces(0.125, 2), 0.12);
    EXPECT_DOUBLE_EQ(roundToPlaces(0.7, 4), 0.7);
    EXPECT_DOUBLE_EQ(roundToPlaces(1.23456789, 4), 1.2346);
    EXPECT_EQ(roundToPlaces(2.5, 0), 2.0);
    EXPECT_EQ(trimSpaces(QStringLiteral("  a b \t ")), QStringLiteral("a b \t"));
}

TEST(GeneralDateFormat, UkLocaleRoundTripsAndShowsMidnightAsDateAlone)
{
    const GeneralDateFormat f(QLocale(QLocale::English, QLocale::UnitedKingdom));
    const QDateTime t(QDate(2009, 1, 15), QTime(9, 38, 7));
    EXPECT_EQ(f.format(t), "15/01/2009 09:38:07");
    EXPECT_EQ(f.format(QDateTime(QDate(2009, 1, 15), QTime(0, 0))), "15/01/2009");
    EXPECT_EQ(f.parse(u"15/01/2009 09:38:07"), t);
    EXPECT_EQ(f.parse(u"15/01/2009"), QDateTime(QDate(2009, 1, 15), QTime(0, 0)));
    EXPECT_EQ(f.parse(u"09:38:07"), QDateTime(QDate(1899, 12, 30), QTime(9, 38, 7)));
    EXPECT_FALSE(f.parse(u"not a date").has_value());
    EXPECT_FALSE(f.parse(u"").has_value());
}

TEST(GeneralDateFormat, EveryCommonLocaleRoundTripsToTheSecond)
{
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German),
                                  QLocale(QLocale::French), QLocale(QLocale::Japanese), QLocale::c()}) {
        const GeneralDateFormat f(locale);
        for (const QDateTime& t : {QDateTime(QDate(2009, 1, 5), QTime(9, 3, 7)),
                                   QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)),
                                   QDateTime(QDate(2026, 7, 1), QTime(12, 0, 0)),
                                   QDateTime(QDate(2026, 7, 1), QTime(0, 0, 0)),
                                   QDateTime(QDate(-144, 1, 7), QTime(10, 0, 0))}) {
            const QString text = f.format(t);
            EXPECT_EQ(f.parse(text), t) << locale.name().toStdString() << " " << text.toStdString();
        }
    }
}
