// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/TestDataGenerator.h"

#include "app/Clock.h"
#include "app/TextFormat.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"

#include <limits>
#include <random>

namespace {

std::optional<qint64> wholeNumber(const QString& text)
{
    const QString trimmed = TextFormat::trimSpaces(text);
    if (trimmed.isEmpty() || trimmed.size() > 12)
        return std::nullopt;
    for (QChar c : trimmed)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    return trimmed.toLongLong();
}

} // namespace

QString FillArray(MeteringContext& ctx, const FillRequest& request, const std::function<void(qint32)>& onRow)
{
    if (ctx.blnGlobalLoggingRunning)
        return FillWhileLoggingText;
    DataArray& data = ctx.varGlobalDataArray;
    constexpr qint64 int32Max = std::numeric_limits<qint32>::max();

    const auto interval = wholeNumber(request.intervalMinutes);
    if (!interval || *interval < 1)
        return QStringLiteral("The time interval of logging events must be a whole number of minutes, 1 or more.");
    const auto count = wholeNumber(request.records);
    if (!count || *count < 1 || *count > data.capacity())
        return QStringLiteral("The number of events to fill must be a whole number from 1 to %1, the size of the "
                              "data array.")
            .arg(data.capacity());
    // Compared by division: twelve-digit fields times a large table overflow 64 bits.
    if (*interval > int32Max / (60 * *count))
        return QStringLiteral("The logging seconds of the last event would be too large: please choose a shorter "
                              "interval or fewer events.");
    const auto maxPulses = wholeNumber(request.maxPulses);
    if (!maxPulses || *maxPulses > int32Max / *count)
        return QStringLiteral("The maximum number of pulses must be a whole number, 0 or more, small enough that "
                              "the total of all events stays below %1.")
            .arg(int32Max);

    const qint32 T = static_cast<qint32>(*interval);
    const qint32 K = static_cast<qint32>(*count);
    const double M = static_cast<double>(*maxPulses);
    const double R = ctx.pulse.dblGlobalWkgRevsPerKWH;
    const double Q = ctx.pulse.dblGlobalWkgCostPerKWH;
    const qint16 tariff = ctx.pulse.intGlobalWkgTarrifNumber;

    const QDateTime start = WholeSecondsNow(ctx);
    // Seeded once per press from the clock, mixed with the system entropy so two quick presses differ too.
    std::random_device entropy;
    std::mt19937 random(static_cast<std::mt19937::result_type>(QDateTime::currentMSecsSinceEpoch()) ^ entropy());
    // Single-precision draws in [0, 1); canonical generation can round up to 1.0f, which is kept out.
    auto draw = [&random] {
        const float x = std::generate_canonical<float, 24>(random);
        return x < 1.0f ? x : std::nextafter(1.0f, 0.0f);
    };

    double totalEnergy = 0.0;
    double totalCost = 0.0;
    qint32 totalPulses = 0;
    for (qint32 i = 1; i <= K; ++i) {
        LogRecord r;
        r.setDateTime(start.addSecs(qint64(i) * T * 60));
        const qint32 p = static_cast<qint32>(TextFormat::roundHalfEven(double(draw()) * M));
        const qint32 light = static_cast<qint32>(TextFormat::roundHalfEven(double(draw()) * 10000.0));
        const double e = p / R;
        totalEnergy += e;
        totalCost += p * Q / R;
        totalPulses += p;
        r.PulsesThisInterval = p;
        r.TotalEnergy = totalEnergy;
        r.TotalCost = totalCost;
        r.LoggingSeconds = i * T * 60;
        r.LoggingTotalPulse = totalPulses;
        r.EnergyThisInterval = e;
        r.CostThisInterval = Q * e;
        r.AvgPowerThisInterval = e * 60.0 / T;
        r.AvgCostPerHourThisInterval = Q * e * 60.0 / T;
        r.REVSperEnergyUnit = R;
        r.CostPerEnergyUnit = Q;
        r.TarrifNumber = tariff;
        r.LightLevel = light;
        data.store(i, r);
        if (onRow)
            onRow(i);
    }
    return QString();
}
