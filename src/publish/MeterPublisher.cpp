// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/MeterPublisher.h"

#include "app/Clock.h"
#include "capture/RegisterWatch.h"
#include "metering/CameraState.h"
#include "metering/MeterReadingStore.h"
#include "metering/MeteringContext.h"
#include "metering/PowerBound.h"
#include "metering/PulseSignal.h"
#include "publish/PresentReading.h"
#include "publish/RetainedSink.h"

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
    m_sink.publishRetained(m_topics.state, StatePayload(PresentReading(m_ctx, m_totals, m_reading, m_watch)));
    publishRegisterCheck();
    m_lastStateTimer = m_ctx.services.clock.timer();
    m_pending = false;
    m_sentTariff = MeterValuesInForce(m_ctx).tariff;
    m_sentCamera = CameraStateOf(m_ctx);
    ++m_statesSent;
}

bool MeterPublisher::registerRead() const
{
    return m_watch && m_watch->active();
}

void MeterPublisher::publishRegisterCheck()
{
    const QByteArray check =
        registerRead() ? RegisterCheckPayload(m_watch->problem(), m_watch->problemText()) : QByteArray();
    // Empty while the register is not read, which clears it at the broker.
    if (check != m_sentRegisterCheck) {
        m_sink.publishRetained(m_topics.base + QLatin1Char('/') + QLatin1String(RegisterObject), check);
        m_sentRegisterCheck = check;
    }
}
