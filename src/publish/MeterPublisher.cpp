// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/MeterPublisher.h"

#include "app/Clock.h"
#include "capture/RegisterWatch.h"
#include "metering/CameraState.h"
#include "metering/MeterReadingStore.h"
#include "metering/MeteringContext.h"
#include "metering/PowerBound.h"
#include "metering/PulseSignal.h"
#include "publish/RetainedSink.h"

namespace {

const RunState* runningRun(const MeteringContext& ctx)
{
    if (ctx.blnGlobalTripRunning)
        return &ctx.trip;
    if (ctx.blnGlobalLoggingRunning)
        return &ctx.logging;
    return nullptr;
}

} // namespace

namespace {
// What of the settings applied elsewhere the configs show: the tariffs, their names for the select, whether it is
// offered; whether the disc's direction is counted; whether the register is read.
QStringList settingsShown(const GlobalSettings& s, bool registerRead)
{
    const auto flag = [](bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); };
    QStringList shown{QString::number(s.TARIFF_COUNT), s.TARIFF_1_NAME, s.TARIFF_2_NAME, flag(s.TARIFF_FROM_MQTT)};
    return shown << flag(s.COUNT_DIRECTION) << flag(registerRead);
}
} // namespace

MeterPublisher::MeterPublisher(MeteringContext& ctx, RetainedSink& sink, const MeterTotals& totals,
                               const MeterReadingStore& reading, const QString& deviceId, const RegisterWatch* watch)
    : m_ctx(ctx), m_sink(sink), m_totals(totals), m_reading(reading), m_watch(watch), m_topics(ctx.settings),
      m_deviceId(deviceId)
{
    m_sink.publishRetained(m_topics.availability, QByteArrayLiteral("online"));
    publishConfigs();
    sendState();
}

void MeterPublisher::publishConfigs()
{
    // A config left out is cleared (an empty retained message), so switching discovery off takes the sensors out
    // of Home Assistant instead of leaving them there unavailable for good.
    for (const RetainedMessage& config : DiscoveryConfigs(m_ctx.settings, m_deviceId, registerRead()))
        m_sink.publishRetained(config.topic, config.payload);
    m_configsShown = settingsShown(m_ctx.settings, registerRead());
}

void MeterPublisher::followSettings()
{
    if (settingsShown(m_ctx.settings, registerRead()) != m_configsShown) {
        publishConfigs();
        m_pending = true;
    }
    if (MeterValuesInForce(m_ctx).tariff != m_sentTariff)
        m_pending = true;
}

void MeterPublisher::revolutionCounted()
{
    if (secondsSinceLastState() >= MinSecondsBetweenStates)
        sendState();
    else
        m_pending = true;
}

void MeterPublisher::tick()
{
    followSettings();
    // A camera that stops or comes back changes what the power is, at once.
    if (CameraStateOf(m_ctx) != m_sentCamera)
        m_pending = true;
    const double elapsed = secondsSinceLastState();
    const bool falling = MeasuredPowerBound(m_ctx).has_value();
    if ((m_pending && elapsed >= MinSecondsBetweenStates) || elapsed >= MaxSecondsBetweenStates ||
        (falling && elapsed >= MaxSecondsBetweenFallingStates))
        sendState();
}

double MeterPublisher::secondsSinceLastState()
{
    return SecondsBetween(m_ctx.services.clock.timer(), m_lastStateTimer);
}

void MeterPublisher::sendState()
{
    const PulseState& p = m_ctx.pulse;
    const GlobalSettings& s = m_ctx.settings;
    const MeterValues inForce = MeterValuesInForce(m_ctx);
    const CameraState camera = CameraStateOf(m_ctx);
    // Money goes out in the currency once its code is set, else in the price's own units as the screens show it.
    const double priceUnits = s.CURRENCY_CODE.isEmpty() ? 1.0 : s.PRICE_UNITS_PER_CURRENCY_UNIT;
    MeterReading r;
    r.camera = CameraStateName(camera);
    if (camera == CameraState::Running && p.powerMeasured) {
        const std::optional<PowerBound> bound = MeasuredPowerBound(m_ctx);
        const double kW = bound ? bound->kw : p.measuredKW;
        r.powerW = kW * 1000.0;
        r.powerIsBound = bound.has_value();
        r.costPerHour = kW * inForce.costPerKWh / priceUnits;
    }
    r.energyKwh = m_totals.energyKwh;
    r.revolutions = m_totals.revolutions;
    if (const RunState* run = runningRun(m_ctx)) {
        r.avgPower5minW = run->avg5minKWH * 1000.0;
        r.avgPower1hW = run->avg1hourKWH * 1000.0;
    }
    r.time = m_ctx.services.clock.now();
    const std::optional<ReadingTotal> total = m_reading.total();
    if (total)
        r.meterReadingKwh = total->kWh;
    if (!s.CURRENCY_CODE.isEmpty()) {
        r.price = inForce.costPerKWh / priceUnits;
        if (total)
            r.cost = total->cost / priceUnits;
    }
    if (s.ASSURED_UP_TO_WATTS > 0)
        r.countsUpToW = s.ASSURED_UP_TO_WATTS;
    addTariffs(r, inForce.tariff);
    addRegister(r);
    if (s.COUNT_DIRECTION) {
        r.undecidedPasses = p.undecidedPasses;
        if (total)
            std::tie(r.energyImportKwh, r.energyExportKwh) = std::tuple(total->importedKWh, total->exportedKWh);
    }
    m_sink.publishRetained(m_topics.state, StatePayload(r));
    m_lastStateTimer = m_ctx.services.clock.timer();
    m_pending = false;
    m_sentTariff = inForce.tariff;
    m_sentCamera = camera;
    ++m_statesSent;
}

bool MeterPublisher::registerRead() const
{
    return m_watch && m_watch->active();
}

void MeterPublisher::addRegister(MeterReading& r)
{
    QByteArray check;
    if (registerRead()) {
        r.registerSeenKwh = m_watch->seenKWh();
        r.registerChecked = m_watch->checkedAt();
        check = RegisterCheckPayload(m_watch->problem(), m_watch->problemText());
    }
    // Empty while the register is not read, which clears it at the broker.
    if (check != m_sentRegisterCheck) {
        m_sink.publishRetained(m_topics.base + QLatin1Char('/') + QLatin1String(RegisterObject), check);
        m_sentRegisterCheck = check;
    }
}

void MeterPublisher::addTariffs(MeterReading& r, qint16 inForce) const
{
    if (m_ctx.settings.TARIFF_COUNT < 2)
        return;
    r.tariff = inForce;
    for (auto [tariff, kWh] : {std::pair(1, &r.meterReadingT1Kwh), std::pair(2, &r.meterReadingT2Kwh)})
        if (m_reading.reading(tariff).isSet())
            *kWh = m_reading.reading(tariff).kWh();
}
