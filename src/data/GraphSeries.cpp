// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/GraphSeries.h"

#include "app/GlobalSettings.h"
#include "app/TextFormat.h"
#include "metering/DataArray.h"

#include <cmath>

double GraphType::value(const LogRecord& r) const
{
    switch (slot) {
    case 9:
        return r.TotalEnergy;
    case 10:
        return r.TotalCost;
    case 12:
        return r.LoggingTotalPulse;
    case 13:
        return r.EnergyThisInterval;
    case 14:
        return r.CostThisInterval;
    case 15:
        return r.AvgPowerThisInterval;
    case 16:
        return r.AvgCostPerHourThisInterval;
    case 20:
        return r.LightLevel;
    default:
        return 0.0;
    }
}

QStringList graphTypeListTexts()
{
    return {QStringLiteral("Average power (KW) during logging interval"),
            QStringLiteral("Average cost per hour during logging interval"),
            QStringLiteral("Energy used (KWH) during logging interval"),
            QStringLiteral("Cost of electricity used during logging interval"),
            QStringLiteral("Total energy used since start"),
            QStringLiteral("Total cost of energy since start"),
            QStringLiteral("Total number of disk revolutions since start"),
            QStringLiteral("Averaged max intensity")};
}

std::vector<GraphType> graphTypes(const GlobalSettings& s)
{
    using G = GraphType::Group;
    const QStringList texts = graphTypeListTexts();
    const QString& power = s.POWER_TITLE;
    const QString& energy = s.ENERGY_TITLE;
    const QString& money = s.CURRENCY_TITLE;
    return {
        {texts[0], 15, G::Average, "Power (" + power + ") averaged over each logging interval", "Power:   " + power},
        {texts[1], 16, G::Average, "Cost per hour (" + money + "/hour) averaged over each logging interval",
         "Cost per hour:   " + money + "/hour"},
        {texts[2], 13, G::Sum, "Energy used (" + energy + ") during each logging interval", "Energy:   " + energy},
        {texts[3], 14, G::Sum, "Cost incurred (" + money + ") during each logging interval", "Cost:   " + money},
        {texts[4], 9, G::Last, "Total energy (" + energy + ") used since start of logging", "Energy:   " + energy},
        {texts[5], 10, G::Last, "Total cost incurred (" + money + ") since start of logging", "Cost:   " + money},
        {texts[6], 12, G::Last, QStringLiteral("Total number of disk revolutions since start"),
         QStringLiteral("Disk Revolutions")},
        {texts[7], 20, G::Average, QStringLiteral("Ambient light level"), QStringLiteral("Ambient light level")},
    };
}

double graphTime(const QDateTime& when)
{
    if (!when.isValid())
        return 0.0;
    constexpr qint64 unixEpochJulianDay = 2440588;
    return double(when.date().toJulianDay() - unixEpochJulianDay) * 86400.0 +
           when.time().msecsSinceStartOfDay() / 1000.0;
}

QDateTime graphTimeToDateTime(double seconds)
{
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(qint64(std::llround(seconds * 1000.0)), Qt::UTC);
    return QDateTime(utc.date(), utc.time());
}

GraphSeries CalculateGraph(const DataArray& data, qint32 records, const GraphType& type, qint64 factor,
                           const std::function<void()>& keepAlive)
{
    GraphSeries series;
    series.graphTitle = type.graphTitle;
    series.yAxisTitle = type.yAxisTitle;
    const qint32 n = std::min(records, data.count());
    if (n < 1)
        return series;
    // A factor of 0 would divide the averages by zero; it means "no compaction".
    const qint64 groupSize = factor < 1 ? 1 : factor;
    series.times.reserve(static_cast<size_t>(n / groupSize));
    series.values.reserve(static_cast<size_t>(n / groupSize));

    double sum = 0.0;
    qint64 k = 1;
    for (qint32 r = 1; r <= n; ++r) {
        if (r > data.count())
            break; // the data set was replaced while events were processed
        const LogRecord& record = data.row(r);
        const double value = type.value(record);
        if (k < groupSize) {
            sum += value;
            ++k;
        } else {
            double point = value;
            if (type.group == GraphType::Group::Average)
                point = (sum + value) / static_cast<double>(groupSize);
            else if (type.group == GraphType::Group::Sum)
                point = sum + value;
            series.times.push_back(graphTime(record.DateTime));
            series.values.push_back(point);
            sum = 0.0;
            k = 1;
        }
        // Every record would cost more in event handling than in arithmetic; a few thousand at a time
        // keeps the window just as live.
        if (keepAlive && (r & 0xFFF) == 0)
            keepAlive();
    }
    return series;
}

QString cleanCompactionText(const QString& text, qint32 records)
{
    QString digits;
    for (QChar c : text)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
    if (digits.isEmpty())
        return QStringLiteral("1");
    qsizetype first = 0;
    while (first < digits.size() - 1 && digits[first] == QLatin1Char('0'))
        ++first;
    digits = digits.mid(first);
    const double limit = TextFormat::roundHalfEven(std::max(records, 0) / 3.0);
    // Anything longer than ten digits is above every possible limit.
    if (digits.size() > 10 || digits.toLongLong() > limit)
        return QStringLiteral("1");
    return digits;
}
