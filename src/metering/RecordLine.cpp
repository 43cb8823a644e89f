// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/RecordLine.h"

#include "app/AppContext.h"

#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <tuple>

const char* const RecordLine::ColumnNames[21] = {"DateTime",
                                                 "Year",
                                                 "Month",
                                                 "Day",
                                                 "Hour",
                                                 "Min",
                                                 "Sec",
                                                 "PulsesThisInterval",
                                                 "TotalEnergy",
                                                 "TotalCost",
                                                 "LoggingSeconds",
                                                 "LoggingTotalPulse",
                                                 "EnergyThisInterval",
                                                 "CostThisInterval",
                                                 "AvgPowerThisInterval",
                                                 "AvgCostPerHourThisInterval",
                                                 "REVSperEnergyUnit",
                                                 "CostPerEnergyUnit",
                                                 "TarrifNumber",
                                                 "LightLevel",
                                                 "UserComment"};

char RecordLine::dataDecimalPoint(const QLocale& locale, const QString& delimiter)
{
    const QString point = locale.decimalPoint();
    const bool ascii = point.size() == 1 && point.at(0).unicode() > 0x20 && point.at(0).unicode() < 0x7f;
    if (ascii && delimiter.compare(point, Qt::CaseInsensitive) != 0)
        return point.at(0).toLatin1();
    return delimiter == QStringLiteral(".") ? ',' : '.';
}

RecordLine::RecordLine(const AppContext& ctx)
    : m_ctx(ctx), m_dates(ctx.locale), m_decimalPoint(dataDecimalPoint(ctx.locale, ctx.strGlobalFieldDelimiter)),
      m_delimiter(ctx.strGlobalFieldDelimiter.toLocal8Bit()), m_endOfLine(ctx.strGlobalEndOfLine.toLocal8Bit()),
      m_fields(ctx.strGlobalFieldDelimiter)
{
    const QString point = ctx.locale.decimalPoint();
    m_localePoint = point.size() == 1 ? point.at(0) : QLatin1Char(m_decimalPoint);
    const QString& d = ctx.strGlobalFieldDelimiter;
    if (d.size() == 1 && d[0].unicode() < 0x80 && !d[0].isLetter())
        m_plainDelimiter = d[0].toLatin1();
    // Never found in dates, so the reader can put the delimiter back.
    m_dateStandIn = TextFormat::standInFor(d, ctx.strGlobalEndOfLine, u"_~#");
}

QByteArray RecordLine::header() const
{
    QByteArray out;
    for (int i = 0; i < 21; ++i) {
        out.append(ColumnNames[i]);
        out.append(i < 20 ? m_delimiter : m_endOfLine);
    }
    return out;
}

void RecordLine::appendDate(QByteArray& out, const QDateTime& value) const
{
    if (!value.isValid())
        return;
    const qsizetype from = out.size();
    m_dates.append(out, value);
    // A delimiter that dates hold (a space, a slash) gives way to a stand-in, which the reader turns back.
    if (m_plainDelimiter && !QByteArrayView(out).sliced(from).contains(m_plainDelimiter))
        return;
    const QString text = QString::fromLocal8Bit(QByteArrayView(out).sliced(from));
    const QString whole =
        TextFormat::unquotedField(text, m_ctx.strGlobalFieldDelimiter, m_ctx.strGlobalEndOfLine, m_dateStandIn);
    if (whole == text)
        return;
    out.truncate(from);
    out.append(whole.toLocal8Bit());
}

void RecordLine::appendDouble(QByteArray& out, double value) const
{
    TextFormat::appendGeneral(out, value, m_decimalPoint);
}

void RecordLine::appendInt(QByteArray& out, qint64 value) const
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr - buf);
}

void RecordLine::append(QByteArray& out, const LogRecord& r) const
{
    const QByteArray& d = m_delimiter;
    appendDate(out, r.DateTime);
    for (qint64 v : {qint64(r.Year), qint64(r.Month), qint64(r.Day), qint64(r.Hour), qint64(r.Min), qint64(r.Sec),
                     qint64(r.PulsesThisInterval)}) {
        out.append(d);
        appendInt(out, v);
    }
    out.append(d);
    appendDouble(out, r.TotalEnergy);
    out.append(d);
    appendDouble(out, r.TotalCost);
    out.append(d);
    appendInt(out, r.LoggingSeconds);
    out.append(d);
    appendInt(out, r.LoggingTotalPulse);
    for (double v : {r.EnergyThisInterval, r.CostThisInterval, r.AvgPowerThisInterval, r.AvgCostPerHourThisInterval,
                     r.REVSperEnergyUnit, r.CostPerEnergyUnit}) {
        out.append(d);
        appendDouble(out, v);
    }
    out.append(d);
    appendInt(out, r.TarrifNumber);
    out.append(d);
    appendInt(out, r.LightLevel);
    out.append(d);
    if (!r.UserComment.isEmpty())
        out.append(clean_comment_text(m_ctx, r.UserComment).toLocal8Bit());
    out.append(m_endOfLine);
}

QByteArray RecordLine::line(const LogRecord& record) const
{
    QByteArray out;
    append(out, record);
    return out;
}

QString RecordLine::fieldProblem(int field, const QString& what) const
{
    QString text = m_fields[field].toString();
    if (text.size() > 40)
        text = text.left(40) + QStringLiteral("...");
    return QStringLiteral("field %1 (%2) %3: \"%4\"").arg(field + 1).arg(QLatin1String(ColumnNames[field]), what, text);
}

QString RecordLine::readDouble(int field, double& out) const
{
    auto value = TextFormat::parseNumber(m_fields[field], QLatin1Char(m_decimalPoint));
    // A spreadsheet saving the file again may write the locale's own separator, in quotes where it is the
    // delimiter: no text reads as a different number with either separator.
    if (!value && m_localePoint != QLatin1Char(m_decimalPoint))
        value = TextFormat::parseNumber(m_fields[field], m_localePoint);
    if (!value)
        return fieldProblem(
            field, QStringLiteral("is not a number with \"%1\" as decimal separator").arg(QLatin1Char(m_decimalPoint)));
    out = *value;
    return {};
}

template <class Int> QString RecordLine::readInteger(int field, Int& out) const
{
    double value = 0.0;
    QString problem = readDouble(field, value);
    if (!problem.isEmpty())
        return problem;
    // A fraction in an integer column is rounded, halves to even.
    value = TextFormat::roundHalfEven(value);
    if (value < double(std::numeric_limits<Int>::min()) || value > double(std::numeric_limits<Int>::max()))
        return fieldProblem(field, QStringLiteral("is out of range"));
    out = static_cast<Int>(value);
    return {};
}

// The numbers of the text are the day, month and year in the locale's order (the year perhaps in two digits),
// then hour (perhaps on a 12-hour clock) and minute, perhaps seconds; or the date alone at midnight.
bool RecordLine::showsSameMinute(QStringView text, const QDate& date, const QTime& time) const
{
    QVarLengthArray<int, 8> numbers;
    QVarLengthArray<int, 8> widths;
    for (qsizetype i = 0; i < text.size();) {
        int value = 0;
        int width = 0;
        for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9') && width < 9; ++i, ++width)
            value = value * 10 + (text[i].unicode() - '0');
        if (width == 0) {
            ++i;
            continue;
        }
        numbers.push_back(value);
        widths.push_back(width);
    }
    const QString& pattern = m_dates.datePattern();
    // (place in the pattern, value, is the year)
    std::array<std::tuple<qsizetype, int, bool>, 3> parts = {{{pattern.indexOf(QLatin1Char('d')), date.day(), false},
                                                              {pattern.indexOf(QLatin1Char('M')), date.month(), false},
                                                              {pattern.indexOf(QLatin1Char('y')), date.year(), true}}};
    std::sort(parts.begin(), parts.end());
    if (std::get<0>(parts[0]) < 0 || numbers.size() < 3 || numbers.size() == 4 || numbers.size() > 6)
        return false;
    for (int k = 0; k < 3; ++k) {
        const auto [place, value, year] = parts[k];
        if (numbers[k] != value && !(year && widths[k] <= 2 && numbers[k] == value % 100))
            return false;
    }
    if (numbers.size() == 3)
        return time.hour() == 0 && time.minute() == 0;
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return (numbers[3] == time.hour() || numbers[3] == hour12) && numbers[4] == time.minute() &&
           (numbers.size() == 5 || numbers[5] == time.second());
}

// Field 1 must agree with its parts in fields 2 to 7, which catches a file written in another locale's date
// order. A spreadsheet that saves the file again writes the date as it shows it, often without seconds or
// with a two-digit year: such a date is taken from its parts when it shows the same minute.
QString RecordLine::readDateTime(LogRecord& r) const
{
    const QDate date(r.Year, r.Month, r.Day);
    const QTime time(r.Hour, r.Min, r.Sec);
    auto when = m_dates.parse(m_fields[0]);
    if (!when && m_fields[0].contains(m_dateStandIn))
        when = m_dates.parse(m_fields[0].toString().replace(m_dateStandIn, m_ctx.strGlobalFieldDelimiter));
    if (when) {
        if (when->date() != date || when->time() != time)
            return fieldProblem(0, QStringLiteral("does not agree with fields 2 to 7 (Year to Sec)"));
        r.DateTime = *when;
        return {};
    }
    if (!date.isValid() || !time.isValid() || !showsSameMinute(m_fields[0], date, time))
        return fieldProblem(0, QStringLiteral("is not a date and time like \"%1\"")
                                   .arg(m_dates.format(QDateTime(QDate(2009, 1, 5), QTime(23, 55, 0)))));
    r.DateTime = QDateTime(date, time);
    return {};
}

QString RecordLine::read(QStringView line, LogRecord& r, Fields fields) const
{
    m_fields.split(line);
    if (m_fields.size() == 1 && m_fields[0].trimmed().isEmpty())
        return QStringLiteral("the line is empty");
    if (fields == Fields::Whole ? m_fields.size() != 21 : m_fields.size() < 20)
        return QStringLiteral("%1 field%2 separated by \"%3\" where a record has %4")
            .arg(m_fields.size())
            .arg(m_fields.size() == 1 ? QString() : QStringLiteral("s"), m_ctx.strGlobalFieldDelimiter,
                 fields == Fields::Whole ? QStringLiteral("21") : QStringLiteral("at least 20"));
    r = LogRecord();
    QString problem;
    int field = 1;
    const auto integer = [&](auto& slot) {
        if (problem.isEmpty())
            problem = readInteger(field, slot);
        ++field;
    };
    const auto real = [&](double& slot) {
        if (problem.isEmpty())
            problem = readDouble(field, slot);
        ++field;
    };
    for (qint16* slot : {&r.Year, &r.Month, &r.Day, &r.Hour, &r.Min, &r.Sec})
        integer(*slot);
    if (!problem.isEmpty())
        return problem;
    problem = readDateTime(r);
    integer(r.PulsesThisInterval);
    real(r.TotalEnergy);
    real(r.TotalCost);
    integer(r.LoggingSeconds);
    integer(r.LoggingTotalPulse);
    for (double* slot : {&r.EnergyThisInterval, &r.CostThisInterval, &r.AvgPowerThisInterval,
                         &r.AvgCostPerHourThisInterval, &r.REVSperEnergyUnit, &r.CostPerEnergyUnit})
        real(*slot);
    integer(r.TarrifNumber);
    integer(r.LightLevel);
    return problem;
}
