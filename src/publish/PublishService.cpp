// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/PublishService.h"

#include "app/PublishSettings.h"
#include "app/SettingsFile.h"
#include "metering/MeteringContext.h"

#include <QUuid>
#include <algorithm>

PublishService::PublishService(MeteringContext& ctx, QObject* parent) : QObject(parent), m_ctx(ctx)
{
    m_ctx.pulseObservers.push_back(this);
    m_timer.setInterval(TickMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_publisher)
            m_publisher->tick();
    });
}

PublishService::~PublishService()
{
    std::erase(m_ctx.pulseObservers, this);
    stop();
}

MqttOptions PublishService::connectionOptions(const GlobalSettings& s)
{
    const PublishTopics topics(s);
    MqttOptions o;
    o.host = s.MQTT_HOST;
    o.port = s.MQTT_PORT;
    o.username = s.MQTT_USERNAME;
    o.password = s.MQTT_PASSWORD;
    o.useTls = s.MQTT_USE_TLS;
    o.caFile = s.MQTT_CA_FILE;
    // Unique per run, so two copies of the program on one meter id never knock each other off the broker.
    o.clientId = QStringLiteral("wattsight-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    o.willTopic = topics.availability;
    o.willPayload = QByteArrayLiteral("offline");
    if (s.HOME_ASSISTANT_DISCOVERY) {
        o.republishTopic = topics.discoveryStatus;
        o.republishPayload = QByteArrayLiteral("online");
    }
    return o;
}

void PublishService::applySettings()
{
    // Unchanged settings keep the connection, so Home Assistant sees no needless offline and online.
    const QStringList inForce = SettingsFileLines(PublishSettingsFile(), m_ctx.settings)
                                << m_ctx.settings.CURRENCY_TITLE;
    if (m_client && inForce == m_inForce)
        return;
    m_inForce = inForce;
    stop();
    if (m_ctx.settings.PUBLISH_MQTT) {
        m_client = std::make_unique<MqttClient>(connectionOptions(m_ctx.settings));
        connect(m_client.get(), &MqttClient::statusChanged, this,
                [this](const MqttStatus& status) { emit statusChanged(status.text); });
        m_publisher = std::make_unique<MeterPublisher>(m_ctx, *m_client, m_totals);
        m_timer.start();
    }
    emit statusChanged(statusText());
}

void PublishService::stop()
{
    m_timer.stop();
    m_publisher.reset();
    m_client.reset();
}

void PublishService::revolutionCounted(const MeteringContext& ctx, const MeterSource&)
{
    m_totals.energyKwh += 1.0 / ctx.pulse.dblGlobalWkgRevsPerKWH;
    m_totals.revolutions += 1;
    if (m_publisher)
        m_publisher->revolutionCounted();
}

QString PublishService::statusText() const
{
    return m_client ? m_client->status().text : QStringLiteral("Publishing is off");
}
