// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/MeterPublisher.h"

#include "app/Clock.h"
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

MeterPublisher::MeterPublisher(MeteringContext& ctx, RetainedSink& sink, const MeterTotals& totals,
                               const MeterReadingStore& reading)
    : m_ctx(ctx), m_sink(sink), m_totals(totals), m_reading(reading), m_topics(ctx.settings)
{
    m_sink.publishRetained(m_topics.availability, QByteArrayLiteral("online"));
    publishConfigs();
    sendState();
}

void MeterPublisher::publishConfigs()
{
    // A config left out is cleared (an empty retained message), so switching discovery off takes the sensors out
    // of Home Assistant instead of leaving them there unavailable for good.
    for (const RetainedMessage& config : DiscoveryConfigs(m_ctx.settings))
        m_sink.publishRetained(config.topic, config.payload);
    m_configsTariffCount = m_ctx.settings.TARIFF_COUNT;
}

void MeterPublisher::followTariffs()
{
    if (m_ctx.settings.TARIFF_COUNT != m_configsTariffCount) {
        publishConfigs();
        m_pending = true;
    }
    if (m_ctx.pulse.intGlobalWkgTarrifNumber != m_sentTariff)
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
    followTariffs();
    const double elapsed = secondsSinceLastState();
    const bool falling = PowerBoundAt(m_ctx.pulse, m_ctx.services.clock.timer()).has_value();
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
    MeterReading r;
    const std::optional<PowerBound> bound = PowerBoundAt(p, m_ctx.services.clock.timer());
    r.powerW = (bound ? bound->kw : p.dblGlobalInstantKW) * 1000.0;
    r.powerIsBound = bound.has_value();
    r.energyKwh = m_totals.energyKwh;
    r.revolutions = m_totals.revolutions;
    r.costPerHour = p.dblGlobalInstantCostPerHour;
    if (const RunState* run = runningRun(m_ctx)) {
        r.avgPower5minW = run->avg5minKWH * 1000.0;
        r.avgPower1hW = run->avg1hourKWH * 1000.0;
    }
    r.time = m_ctx.services.clock.now();
    const std::optional<ReadingTotal> total = m_reading.total();
    if (total)
        r.meterReadingKwh = total->kWh;
    const GlobalSettings& s = m_ctx.settings;
    if (!s.CURRENCY_CODE.isEmpty()) {
        r.price = p.dblGlobalWkgCostPerKWH / s.PRICE_UNITS_PER_CURRENCY_UNIT;
        if (total)
            r.cost = total->cost / s.PRICE_UNITS_PER_CURRENCY_UNIT;
    }
    addTariffs(r);
    m_sink.publishRetained(m_topics.state, StatePayload(r));
    m_lastStateTimer = m_ctx.services.clock.timer();
    m_pending = false;
    m_sentTariff = p.intGlobalWkgTarrifNumber;
    ++m_statesSent;
}

void MeterPublisher::addTariffs(MeterReading& r) const
{
    if (m_ctx.settings.TARIFF_COUNT < 2)
        return;
    r.tariff = m_ctx.pulse.intGlobalWkgTarrifNumber;
    for (auto [tariff, kWh] : {std::pair(1, &r.meterReadingT1Kwh), std::pair(2, &r.meterReadingT2Kwh)})
        if (m_reading.reading(tariff).isSet())
            *kWh = m_reading.reading(tariff).kWh();
}
