// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TextFormat.h"

#include <gtest/gtest.h>

using namespace TextFormat;

TEST(TextFormat, GeneralNumberFollowsPrintfG15)
{
    char buf[64];
    for (double v : {300.0, 0.0000001, 0.12, 1e15, 123456789012345.0, 0.1 + 0.2, 0.0001, 0.00001, 1.0 / 3.0,
                     9.99999999999999e-5, 1e100, -42.125}) {
        std::snprintf(buf, sizeof buf, "%.15G", v);
        EXPECT_EQ(formatGeneral(v), QString::fromLatin1(buf)) << v;
    }
    EXPECT_EQ(formatGeneral(-0.0), "0");
    EXPECT_EQ(formatGeneral(2.5, QLatin1Char(',')), "2,5");
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
    EXPECT_DOUBLE_EQ(roundToPlaces(0.125, 2), 0.12);
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
