// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TextFormat.h"

#include <gtest/gtest.h>
#include <random>

namespace {

// The quick reader must answer exactly as the locale's own parser for every text, well-formed or not, and
// every written date must read back to the second.
TEST(GeneralDateParse, RoundTripsAndAnswersAsTheLocaleParserDoes)
{
    const QLocale locales[] = {QLocale(QLocale::English, QLocale::UnitedKingdom),
                               QLocale(QLocale::English, QLocale::UnitedStates),
                               QLocale(QLocale::German, QLocale::Germany),
                               QLocale(QLocale::French, QLocale::France),
                               QLocale(QLocale::Japanese, QLocale::Japan),
                               QLocale(QLocale::Dutch, QLocale::Netherlands),
                               QLocale::c()};
    std::mt19937 random(12345);
    for (const QLocale& locale : locales) {
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
