// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

// The line break inside the texts the program shows, and at the end of each line of its error texts.
inline const QString CrLf = QStringLiteral("\r\n");

// Number and date text shared by screens, configuration files and data files.
namespace TextFormat {

// The "general" number form: at most 15 significant digits, no trailing zeros, exponent form for very
// small or large magnitudes ("1E-07"), the given decimal separator.
QString formatGeneral(double value, QChar decimalPoint = QLatin1Char('.'));
// Appends the same text to a byte buffer (ASCII only); the fast path of the data writers.
void appendGeneral(QByteArray& out, double value, char decimalPoint = '.');

// Strict "is a number": optional spaces, sign, digits with one optional decimal separator, optional exponent.
std::optional<double> parseNumber(QStringView text, QChar decimalPoint = QLatin1Char('.'));
inline bool isNumber(QStringView text, QChar decimalPoint = QLatin1Char('.'))
{
    return parseNumber(text, decimalPoint).has_value();
}

// Leading and trailing spaces removed (only spaces: tabs and line breaks stay).
QString trimSpaces(const QString& text);

// The first of the candidates that is in neither the delimiter nor the line end: what a field of a delimited
// line holds in their place (unquotedField), so that no replacement forms a new occurrence of them.
QChar standInFor(const QString& delimiter, const QString& endOfLine, QStringView candidates);
// The text made safe as one field of a delimited line that is never quoted, wherever the field stands: each
// double quote becomes a single quote (a reader would take a leading one for field quotes); each occurrence of
// the delimiter (without regard to case, as the reader splits) and of the line end, and a start of the
// delimiter at the very end, becomes the stand-in.
QString unquotedField(QString text, const QString& delimiter, const QString& endOfLine, QChar standIn);

// Nearest whole number, halves to even (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);
// Rounded to the given decimal places, halves to even.
double roundToPlaces(double value, int places);

} // namespace TextFormat

// The locale's general date: short date, a space, the long time without time zone; the date alone when the
// time of day is exactly midnight. Years always have four digits and digits are ASCII, so that the text reads
// back unambiguously and spreadsheets take it for a date.
class GeneralDateFormat
{
public:
    explicit GeneralDateFormat(const QLocale& locale = QLocale::system());

    QString format(const QDateTime& value) const;
    void append(QByteArray& out, const QDateTime& value) const;
    // Reads a date and time, a date alone (midnight) or a time alone (on 30 December 1899): exactly the text
    // format() writes, else whatever the locale's own parser reads with the same patterns.
    std::optional<QDateTime> parse(QStringView text) const;
    // The locale's own parser alone.
    std::optional<QDateTime> parseWithLocale(QStringView text) const;

    const QString& datePattern() const { return m_datePattern; }
    const QString& timePattern() const { return m_timePattern; }

private:
    struct Token
    {
        enum Kind
        {
            Literal,
            Day,
            Day2,
            Month,
            Month2,
            MonthName,
            Year2,
            Year4,
            Hour,
            Hour2,
            Hour12,
            Hour12x2,
            Minute,
            Minute2,
            Second,
            Second2,
            AmPm
        } kind;
        QByteArray literal;
        QString text = {}; // the literal again, for matching while parsing
    };
    static std::vector<Token> compile(const QString& pattern);
    void usePatterns(const QString& date, const QString& time);
    void appendTokens(QByteArray& out, const std::vector<Token>& tokens, const QDate& d, const QTime& t) const;
    // Reads exactly the text append() writes; false for anything else, which the locale parser then gets.
    bool parseExact(QStringView text, QDateTime& out) const;
    bool matchTokens(QStringView text, qsizetype& pos, const std::vector<Token>& tokens, int fields[6]) const;
    bool readsBack() const;

    QLocale m_locale;
    QString m_datePattern;
    QString m_timePattern;
    std::vector<Token> m_dateTokens;
    std::vector<Token> m_timeTokens;
    QByteArray m_monthNames[12];
    QByteArray m_am;
    QByteArray m_pm;
    QString m_monthNameTexts[12];
    QString m_amText;
    QString m_pmText;
};
