// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/RecordLine.h"

#include "app/AppContext.h"

#include <charconv>

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

RecordLine::RecordLine(const AppContext& ctx)
    : m_ctx(ctx), m_dates(ctx.locale), m_delimiter(ctx.strGlobalFieldDelimiter.toLocal8Bit()),
      m_endOfLine(ctx.strGlobalEndOfLine.toLocal8Bit())
{
    const QString point = ctx.locale.decimalPoint();
    m_decimalPoint = point.isEmpty() ? '.' : point.at(0).toLatin1();
    if (m_decimalPoint == 0)
        m_decimalPoint = '.';
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
    if (value.isValid())
        m_dates.append(out, value);
}

void RecordLine::appendDouble(QByteArray& out, double value) const
{
    TextFormat::appendGeneral(out, value, m_decimalPoint);
}

void RecordLine::appendInt(QByteArray& out, qint64 value)
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
