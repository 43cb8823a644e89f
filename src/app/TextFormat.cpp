// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TextFormat.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>

namespace TextFormat {

namespace {
// Writes %.15G text into buf; returns the length.
int generalChars(char* buf, int capacity, double value, char decimalPoint)
{
    if (value == 0.0)
        value = 0.0; // no "-0"
    auto result = std::to_chars(buf, buf + capacity, value, std::chars_format::general, 15);
    const int len = static_cast<int>(result.ptr - buf);
    for (int i = 0; i < len; ++i) {
        if (buf[i] == 'e')
            buf[i] = 'E';
        else if (buf[i] == '.')
            buf[i] = decimalPoint;
        else if (buf[i] >= 'a' && buf[i] <= 'z')
            buf[i] = static_cast<char>(buf[i] - 'a' + 'A'); // INF, NAN
    }
    return len;
}
} // namespace

QString formatGeneral(double value, QChar decimalPoint)
{
    char buf[64];
    const int len = generalChars(buf, sizeof buf, value, '.');
    QString text = QString::fromLatin1(buf, len);
    if (decimalPoint != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), decimalPoint);
    return text;
}

void appendGeneral(QByteArray& out, double value, char decimalPoint)
{
    char buf[64];
    const int len = generalChars(buf, sizeof buf, value, decimalPoint);
    out.append(buf, len);
}

std::optional<double> parseNumber(QStringView text, QChar decimalPoint)
{
    // Validate by hand, then convert a normalised ASCII copy with from_chars.
    qsizetype i = 0;
    qsizetype n = text.size();
    while (i < n && text[i] == QLatin1Char(' '))
        ++i;
    while (n > i && text[n - 1] == QLatin1Char(' '))
        --n;
    if (i >= n || n - i > 400)
        return std::nullopt;
    char buf[512];
    int len = 0;
    if (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')) {
        if (text[i] == QLatin1Char('-'))
            buf[len++] = '-';
        ++i;
    }
    int digits = 0;
    bool point = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            buf[len++] = static_cast<char>(c.unicode());
            ++digits;
        } else if (c == decimalPoint && !point) {
            buf[len++] = '.';
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n && (text[i] == QLatin1Char('E') || text[i] == QLatin1Char('e'))) {
        buf[len++] = 'e';
        ++i;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
            if (text[i] == QLatin1Char('-'))
                buf[len++] = '-';
            ++i;
        }
        int expDigits = 0;
        for (; i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
            buf[len++] = static_cast<char>(text[i].unicode());
            ++expDigits;
        }
        if (expDigits == 0)
            return std::nullopt;
    }
    if (i != n)
        return std::nullopt;
    double value = 0.0;
    const auto result = std::from_chars(buf, buf + len, value);
    if (result.ec != std::errc() || result.ptr != buf + len || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString trimSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

QChar standInFor(const QString& delimiter, const QString& endOfLine, QStringView candidates)
{
    for (const QChar c : candidates) {
        if (!delimiter.contains(c) && !endOfLine.contains(c))
            return c;
    }
    return candidates.back();
}

QString unquotedField(QString text, const QString& delimiter, const QString& endOfLine, QChar standIn)
{
    text.replace(QLatin1Char('"'), QLatin1Char('\''));
    if (!delimiter.isEmpty())
        text.replace(delimiter, QString(standIn), Qt::CaseInsensitive);
    if (!endOfLine.isEmpty())
        text.replace(endOfLine, QString(standIn));
    // With the delimiter after it, a reader would find the delimiter too early.
    for (qsizetype n = delimiter.size() - 1; n >= 1; --n) {
        if (text.endsWith(QStringView(delimiter).left(n), Qt::CaseInsensitive)) {
            text.back() = standIn;
            break;
        }
    }
    return text;
}

double roundHalfEven(double value)
{
    return std::nearbyint(value);
}

double roundToPlaces(double value, int places)
{
    if (places <= 0)
        return std::nearbyint(value);
    const double scale = std::pow(10.0, places);
    const double scaled = value * scale;
    if (!std::isfinite(scaled))
        return value;
    return std::nearbyint(scaled) / scale;
}

} // namespace TextFormat

namespace {

// Applies edit to the parts of a date or time pattern outside single quotes, which are literal text.
template <class Edit> QString editUnquoted(const QString& pattern, Edit edit)
{
    QString result;
    qsizetype i = 0;
    while (i < pattern.size()) {
        const qsizetype quote = pattern.indexOf(QLatin1Char('\''), i);
        const qsizetype plainEnd = quote < 0 ? pattern.size() : quote;
        result += edit(pattern.mid(i, plainEnd - i));
        if (quote < 0)
            break;
        const qsizetype close = pattern.indexOf(QLatin1Char('\''), quote + 1);
        const qsizetype quotedEnd = close < 0 ? pattern.size() : close + 1;
        result += pattern.mid(quote, quotedEnd - quote);
        i = quotedEnd;
    }
    return result;
}

// The locale's pattern made fit for data files that spreadsheets open and this program reads back: four-digit
// years; no time zone (with the brackets some locales put round it), no element the formatter does not
// write (such as the day period "B"), no invisible direction marks, no trailing commas.
QString dataPattern(const QString& pattern)
{
    static const QRegularExpression zone(QStringLiteral("[(\\[]?t+[)\\]]?"));
    static const QRegularExpression unsupported(
        QStringLiteral("[b-cefgi-lnoqru-xzB-GI-LN-OQ-Z\\x{200E}\\x{200F}\\x{061C}]+"));
    static const QRegularExpression spaces(QStringLiteral("\\s{2,}"));
    static const QRegularExpression years(QStringLiteral("y+"));
    static const QRegularExpression ends(QStringLiteral("^[\\s,\\x{060C}]+|[\\s,\\x{060C}]+$"));
    const bool fourDigits = pattern.contains(QLatin1String("yyyy"));
    QString cleaned = editUnquoted(pattern, [&](QString part) {
        part.remove(zone).remove(unsupported).replace(spaces, QStringLiteral(" "));
        return fourDigits ? part : part.replace(years, QStringLiteral("yyyy"));
    });
    return cleaned.remove(ends);
}

// A 12-hour pattern whose morning and afternoon texts cannot be told apart is written as 24-hour.
QString readableHours(const QString& pattern, const QLocale& locale)
{
    const QString am = locale.amText();
    const QString pm = locale.pmText();
    if (!am.isEmpty() && !pm.isEmpty() && am.compare(pm, Qt::CaseInsensitive) != 0)
        return pattern;
    static const QRegularExpression marker(QStringLiteral("\\s*(ap|AP|a|A)\\s*"));
    return editUnquoted(pattern,
                        [](QString part) { return part.remove(marker).replace(QLatin1Char('h'), QLatin1Char('H')); })
        .trimmed();
}

void appendNumber(QByteArray& out, int value, int minDigits)
{
    // The sign is not a digit: year -144 is written -0144, which reads back.
    if (value < 0) {
        out.append('-');
        value = -value;
    }
    char buf[16];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    for (int pad = static_cast<int>(r.ptr - buf); pad < minDigits; ++pad)
        out.append('0');
    out.append(buf, r.ptr - buf);
}

} // namespace

GeneralDateFormat::GeneralDateFormat(const QLocale& locale)
    : m_locale(locale), m_am(locale.amText().toUtf8()), m_pm(locale.pmText().toUtf8()), m_amText(locale.amText()),
      m_pmText(locale.pmText())
{
    for (int m = 0; m < 12; ++m) {
        m_monthNameTexts[m] = locale.monthName(m + 1, QLocale::ShortFormat);
        m_monthNames[m] = m_monthNameTexts[m].toUtf8();
    }
    usePatterns(dataPattern(locale.dateFormat(QLocale::ShortFormat)),
                readableHours(dataPattern(locale.timeFormat(QLocale::LongFormat)), locale));
    // Whatever the locale's data holds, what is written must read back: else an unambiguous layout.
    if (!readsBack())
        usePatterns(QStringLiteral("yyyy-MM-dd"), QStringLiteral("HH:mm:ss"));
}

void GeneralDateFormat::usePatterns(const QString& date, const QString& time)
{
    m_datePattern = date;
    m_timePattern = time;
    m_dateTokens = compile(date);
    m_timeTokens = compile(time);
}

std::vector<GeneralDateFormat::Token> GeneralDateFormat::compile(const QString& pattern)
{
    std::vector<Token> tokens;
    auto literal = [&tokens](const QString& text) {
        if (!tokens.empty() && tokens.back().kind == Token::Literal) {
            tokens.back().literal += text.toUtf8();
            tokens.back().text += text;
        } else {
            tokens.push_back({Token::Literal, text.toUtf8(), text});
        }
    };
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        switch (c.unicode()) {
        case 'd':
            tokens.push_back({run >= 2 ? Token::Day2 : Token::Day, {}});
            break;
        case 'M':
            tokens.push_back({run >= 3 ? Token::MonthName : run == 2 ? Token::Month2 : Token::Month, {}});
            break;
        case 'y':
            tokens.push_back({run >= 3 ? Token::Year4 : Token::Year2, {}});
            break;
        case 'H':
            tokens.push_back({run >= 2 ? Token::Hour2 : Token::Hour, {}});
            break;
        case 'h':
            // Qt's "h" is 12-hour only when the pattern carries an AM/PM marker.
            tokens.push_back({pattern.contains(QLatin1Char('A'), Qt::CaseInsensitive)
                                  ? (run >= 2 ? Token::Hour12x2 : Token::Hour12)
                                  : (run >= 2 ? Token::Hour2 : Token::Hour),
                              {}});
            break;
        case 'm':
            tokens.push_back({run >= 2 ? Token::Minute2 : Token::Minute, {}});
            break;
        case 's':
            tokens.push_back({run >= 2 ? Token::Second2 : Token::Second, {}});
            break;
        case 'A':
        case 'a':
            tokens.push_back({Token::AmPm, {}});
            if (i + 1 < pattern.size() && (pattern[i + 1] == QLatin1Char('P') || pattern[i + 1] == QLatin1Char('p')))
                run = 2;
            break;
        case '\'': {
            const qsizetype end = pattern.indexOf(QLatin1Char('\''), i + 1);
            const qsizetype stop = end < 0 ? pattern.size() : end;
            literal(pattern.mid(i + 1, stop - i - 1));
            run = stop - i + 1;
            break;
        }
        default:
            literal(pattern.mid(i, run));
            break;
        }
        i += run;
    }
    return tokens;
}

void GeneralDateFormat::appendTokens(QByteArray& out, const std::vector<Token>& tokens, const QDate& d,
                                     const QTime& t) const
{
    for (const Token& token : tokens) {
        switch (token.kind) {
        case Token::Literal:
            out.append(token.literal);
            break;
        case Token::Day:
            appendNumber(out, d.day(), 1);
            break;
        case Token::Day2:
            appendNumber(out, d.day(), 2);
            break;
        case Token::Month:
            appendNumber(out, d.month(), 1);
            break;
        case Token::Month2:
            appendNumber(out, d.month(), 2);
            break;
        case Token::MonthName:
            out.append(m_monthNames[d.month() - 1]);
            break;
        case Token::Year2:
            appendNumber(out, d.year() % 100, 2);
            break;
        case Token::Year4:
            appendNumber(out, d.year(), 4);
            break;
        case Token::Hour:
            appendNumber(out, t.hour(), 1);
            break;
        case Token::Hour2:
            appendNumber(out, t.hour(), 2);
            break;
        case Token::Hour12:
            appendNumber(out, t.hour() % 12 == 0 ? 12 : t.hour() % 12, 1);
            break;
        case Token::Hour12x2:
            appendNumber(out, t.hour() % 12 == 0 ? 12 : t.hour() % 12, 2);
            break;
        case Token::Minute:
            appendNumber(out, t.minute(), 1);
            break;
        case Token::Minute2:
            appendNumber(out, t.minute(), 2);
            break;
        case Token::Second:
            appendNumber(out, t.second(), 1);
            break;
        case Token::Second2:
            appendNumber(out, t.second(), 2);
            break;
        case Token::AmPm:
            out.append(t.hour() < 12 ? m_am : m_pm);
            break;
        }
    }
}

void GeneralDateFormat::append(QByteArray& out, const QDateTime& value) const
{
    const QDate d = value.date();
    const QTime t = value.time();
    appendTokens(out, m_dateTokens, d, QTime());
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0)
        return;
    out.append(' ');
    appendTokens(out, m_timeTokens, QDate(), t);
}

QString GeneralDateFormat::format(const QDateTime& value) const
{
    QByteArray out;
    append(out, value);
    return QString::fromUtf8(out);
}

std::optional<QDateTime> GeneralDateFormat::parse(QStringView text) const
{
    QDateTime exact;
    if (parseExact(text, exact))
        return exact;
    return parseWithLocale(text);
}

namespace {
// Reads 1 to maxDigits digits (exactly maxDigits when exact) at pos.
bool readDigits(QStringView text, qsizetype& pos, int minDigits, int maxDigits, int& value)
{
    int count = 0;
    value = 0;
    while (count < maxDigits && pos < text.size() && text[pos] >= QLatin1Char('0') && text[pos] <= QLatin1Char('9')) {
        value = value * 10 + (text[pos].unicode() - '0');
        ++pos;
        ++count;
    }
    return count >= minDigits;
}
} // namespace

// fields: year, month, day, hour, minute, second; hour is -1 - h for a 12-hour reading until AM/PM is seen.
bool GeneralDateFormat::matchTokens(QStringView text, qsizetype& pos, const std::vector<Token>& tokens,
                                    int fields[6]) const
{
    int pm = -1;
    bool twelveHour = false;
    for (const Token& token : tokens) {
        switch (token.kind) {
        case Token::Literal:
            if (!text.mid(pos).startsWith(token.text))
                return false;
            pos += token.text.size();
            break;
        case Token::Day:
        case Token::Day2:
            if (!readDigits(text, pos, token.kind == Token::Day2 ? 2 : 1, 2, fields[2]))
                return false;
            break;
        case Token::Month:
        case Token::Month2:
            if (!readDigits(text, pos, token.kind == Token::Month2 ? 2 : 1, 2, fields[1]))
                return false;
            break;
        case Token::MonthName: {
            // The longest name that fits, in case one is the start of another.
            int found = 0;
            for (int m = 0; m < 12; ++m)
                if (!m_monthNameTexts[m].isEmpty() && text.mid(pos).startsWith(m_monthNameTexts[m]) &&
                    (!found || m_monthNameTexts[m].size() > m_monthNameTexts[found - 1].size()))
                    found = m + 1;
            if (!found)
                return false;
            fields[1] = found;
            pos += m_monthNameTexts[found - 1].size();
            break;
        }
        case Token::Year4:
            if (!readDigits(text, pos, 4, 4, fields[0]))
                return false;
            break;
        case Token::Year2:
            return false;
        case Token::Hour:
        case Token::Hour2:
        case Token::Hour12:
        case Token::Hour12x2:
            twelveHour = token.kind == Token::Hour12 || token.kind == Token::Hour12x2;
            if (!readDigits(text, pos, token.kind == Token::Hour2 || token.kind == Token::Hour12x2 ? 2 : 1, 2,
                            fields[3]))
                return false;
            break;
        case Token::Minute:
        case Token::Minute2:
            if (!readDigits(text, pos, token.kind == Token::Minute2 ? 2 : 1, 2, fields[4]))
                return false;
            break;
        case Token::Second:
        case Token::Second2:
            if (!readDigits(text, pos, token.kind == Token::Second2 ? 2 : 1, 2, fields[5]))
                return false;
            break;
        case Token::AmPm: {
            const bool am = !m_amText.isEmpty() && text.mid(pos).startsWith(m_amText);
            const bool pmText = !m_pmText.isEmpty() && text.mid(pos).startsWith(m_pmText);
            if (!am && !pmText)
                return false;
            pm = pmText && (!am || m_pmText.size() > m_amText.size());
            pos += pm ? m_pmText.size() : m_amText.size();
            break;
        }
        }
    }
    if (twelveHour) {
        if (pm < 0 || fields[3] < 1 || fields[3] > 12)
            return false;
        fields[3] = fields[3] % 12 + (pm ? 12 : 0);
    }
    return true;
}

bool GeneralDateFormat::parseExact(QStringView text, QDateTime& out) const
{
    text = text.trimmed();
    int fields[6] = {0, 0, 0, 0, 0, 0};
    qsizetype pos = 0;
    if (!matchTokens(text, pos, m_dateTokens, fields))
        return false;
    const QDate date(fields[0], fields[1], fields[2]);
    if (!date.isValid())
        return false;
    if (pos == text.size()) {
        out = QDateTime(date, QTime(0, 0));
        return true;
    }
    if (text[pos] != QLatin1Char(' '))
        return false;
    ++pos;
    if (!matchTokens(text, pos, m_timeTokens, fields) || pos != text.size())
        return false;
    const QTime time(fields[3], fields[4], fields[5]);
    if (!time.isValid())
        return false;
    out = QDateTime(date, time);
    return true;
}

bool GeneralDateFormat::readsBack() const
{
    int hours = 0;
    for (const Token& t : m_timeTokens)
        hours += t.kind >= Token::Hour && t.kind <= Token::Hour12x2;
    if (hours != 1)
        return false;
    const QDateTime samples[] = {
        QDateTime(QDate(2009, 1, 5), QTime(9, 3, 7)),      QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)),
        QDateTime(QDate(2010, 11, 22), QTime(12, 30, 45)), QDateTime(QDate(2011, 6, 15), QTime(0, 0, 0)),
        QDateTime(QDate(2012, 2, 29), QTime(0, 0, 1)),     QDateTime(QDate(2013, 10, 10), QTime(10, 10, 10))};
    for (const QDateTime& sample : samples) {
        QDateTime back;
        if (!parseExact(format(sample), back) || back != sample)
            return false;
    }
    return true;
}

std::optional<QDateTime> GeneralDateFormat::parseWithLocale(QStringView text) const
{
    const QString trimmed = text.trimmed().toString();
    if (trimmed.isEmpty())
        return std::nullopt;
    // Try the date alone, date + time, then time alone; date patterns may themselves contain spaces.
    QDate date = m_locale.toDate(trimmed, m_datePattern);
    if (date.isValid())
        return QDateTime(date, QTime(0, 0));
    for (qsizetype cut = trimmed.size(); cut > 0; --cut) {
        if (trimmed[cut - 1] != QLatin1Char(' '))
            continue;
        date = m_locale.toDate(trimmed.left(cut - 1).trimmed(), m_datePattern);
        if (!date.isValid())
            continue;
        const QTime time = m_locale.toTime(trimmed.mid(cut).trimmed(), m_timePattern);
        if (time.isValid())
            return QDateTime(date, time);
    }
    const QTime time = m_locale.toTime(trimmed, m_timePattern);
    if (time.isValid())
        return QDateTime(QDate(1899, 12, 30), time);
    return std::nullopt;
}
