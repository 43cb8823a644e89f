// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/ScreenVariables.h"

#include "app/TextFormat.h"
#include "metering/MeteringContext.h"

#include <array>

namespace {

// The viewers' texts in the locale the screens use.
class VariableText
{
public:
    explicit VariableText(const QLocale& locale) : m_dates(locale)
    {
        const QString decimal = locale.decimalPoint();
        m_point = decimal.isEmpty() ? QLatin1Char('.') : decimal.front();
    }
    QString operator()(qint64 value) const { return QString::number(value); }
    QString operator()(double value) const { return TextFormat::formatGeneral(value, m_point); }
    QString operator()(bool value) const { return value ? QStringLiteral("True") : QStringLiteral("False"); }
    // A run never started has no start time yet: nothing rather than a garbled date.
    QString operator()(const QDateTime& value) const { return value.isValid() ? m_dates.format(value) : QString(); }

private:
    GeneralDateFormat m_dates;
    QChar m_point;
};

using RunNames = std::array<const char*, 20>;

// Rows 1 to 20 show the same fields for the trip and the logging, each under its own global names.
ScreenVariables runVariables(const MeteringContext& ctx, const RunState& run, bool running, const RunNames& names)
{
    const VariableText text(ctx.locale);
    const std::array<QString, 20> values = {
        text(qint64{run.newPulseCount}),
        text(qint64{run.oldPulseCount}),
        text(run.startTime),
        text(qint64{run.totalPulse}),
        text(qint64{run.seconds}),
        text(run.secondsSincePulse),
        text(run.totalKWH),
        text(run.avg5minKWH),
        text(run.avg1hourKWH),
        text(run.totalCost),
        text(run.avg5minCost),
        text(run.avg1hourCost),
        text(qint64{run.window5min.pointer()}),
        text(qint64{run.window1hour.pointer()}),
        text(run.window5min.full()),
        text(run.window1hour.full()),
        text(running),
        text(qint64{run.timerTicksCounted}),
        text(run.timeLastCalculationEvent),
        text(run.timeLastScreenUpdateEvent),
    };
    ScreenVariables rows;
    rows.reserve(21);
    for (size_t i = 0; i < values.size(); ++i)
        rows.push_back({QString::fromLatin1(names[i]), values[i]});
    return rows;
}

} // namespace

ScreenVariables TripScreenVariables(const MeteringContext& ctx)
{
    static constexpr RunNames names = {
        "lngGlobalWkgTripNewPulseCount",
        "lngGlobalWkgTripOldPulseCount",
        "dteGlobalWkgTripStartTime",
        "lngGlobalWkgTripTotalPulse",
        "lngGlobalWkgTripSeconds",
        "dblGlobalWkgTripSecondsSincePulse",
        "dblGlobalWkgTripTotalKWH",
        "dblGlobalWkgTrip5minAvgKWH",
        "dblGlobalWkgTrip1hourAvgKWH",
        "dblGlobalWkgTripTotalCost",
        "dblGlobalWkgTrip5minAvgCost",
        "dblGlobalWkgTrip1hourAvgCost",
        "intGlobalTrip5minPointer",
        "intGlobalTrip1hourPointer",
        "blnGlobalTrip5minArrayFull",
        "blnGlobalTrip1hourArrayFull",
        "blnGlobalTripRunning",
        "intGlobalTripTimerTicksCounted",
        "dblGlobalTimeLastTRIPScreenCalculationEvent",
        "dblGlobalTimeLastTRIPScreenUpdateEvent",
    };
    ScreenVariables rows = runVariables(ctx, ctx.trip, ctx.blnGlobalTripRunning, names);
    rows.push_back({QStringLiteral("lngGlobalMillisecondsPerTripScreenUpdate"),
                    VariableText(ctx.locale)(qint64{ctx.settings.TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS})});
    return rows;
}

ScreenVariables LoggingScreenVariables(const MeteringContext& ctx)
{
    static constexpr RunNames names = {
        "lngGlobalWkgLoggingNewPulseCount",
        "lngGlobalWkgLoggingOldPulseCount",
        "dteGlobalWkgLoggingStartTime",
        "lngGlobalWkgLoggingTotalPulse",
        "lngGlobalWkgLoggingSeconds",
        "dblGlobalWkgLoggingSecondsSincePulse",
        "dblGlobalWkgLoggingTotalKWH",
        "dblGlobalWkgLogging5minAvgKWH",
        "dblGlobalWkgLogging1hourAvgKWH",
        "dblGlobalWkgLoggingTotalCost",
        "dblGlobalWkgLogging5minAvgCost",
        "dblGlobalWkgLogging1hourAvgCost",
        "intGlobalLogging5minPointer",
        "intGlobalLogging1hourPointer",
        "blnGlobalLogging5minArrayFull",
        "blnGlobalLogging1hourArrayFull",
        "blnGlobalLoggingRunning",
        "intGlobalLoggingTimerTicksCounted",
        "dblGlobalTimeLastLOGScreenCalculationEvent",
        "dblGlobalTimeLastLOGScreenUpdateEvent",
    };
    ScreenVariables rows = runVariables(ctx, ctx.logging, ctx.blnGlobalLoggingRunning, names);
    rows.push_back({QStringLiteral("dblGlobalTimeLastLOGGINGevent"),
                    VariableText(ctx.locale)(ctx.loggingFiles.dblGlobalTimeLastLOGGINGevent)});
    return rows;
}
