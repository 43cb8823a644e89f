// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/PublishService.h"

#include "app/FileIo.h"
#include "app/PublishSettings.h"
#include "app/SettingsFile.h"
#include "metering/MeterReadingStore.h"
#include "metering/MeteringContext.h"
#include "metering/Tariffs.h"

#include <QDir>
#include <QLoggingCategory>
#include <QUuid>
#include <algorithm>

namespace {
Q_LOGGING_CATEGORY(lcPublish, "wattsight.publish")

// The names that make the discovery topics, in the order of the file's lines.
QStringList discoveryNames(const GlobalSettings& s)
{
    return {s.DISCOVERY_PREFIX, s.MQTT_BASE_TOPIC, s.METER_ID};
}
} // namespace

PublishService::PublishService(MeteringContext& ctx, MeterReadingStore& reading, QObject* parent)
    : QObject(parent), m_ctx(ctx), m_reading(reading)
{
    m_ctx.pulseObservers.push_back(this);
    m_commands.add(QLatin1String(MeterReadingObject),
                   [this](const QByteArray& payload) { return setMeterReading(payload, 1); });
    m_commands.add(QLatin1String(MeterReadingT2Object),
                   [this](const QByteArray& payload) { return setMeterReading(payload, 2); });
    m_commands.add(QStringLiteral("tariff"), [this](const QByteArray& payload) { return setTariff(payload); });
    connect(&m_reading, &MeterReadingStore::changed, this, [this] {
        if (m_publisher)
            m_publisher->readingChanged();
    });
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
    if (s.ACCEPT_MQTT_COMMANDS)
        o.commandFilter = topics.commandTopic("+");
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
        connect(m_client.get(), &MqttClient::statusChanged, this, [this] { emit statusChanged(statusText()); });
        connect(m_client.get(), &MqttClient::commandReceived, this, &PublishService::carryOut);
        m_publisher = std::make_unique<MeterPublisher>(m_ctx, *m_client, m_totals, m_reading);
        clearOldNames();
        for (const auto& published : m_published)
            sendPublished(published.first);
        m_timer.start();
    }
    emit statusChanged(statusText());
}

void PublishService::publishAt(const QString& object, const QByteArray& payload)
{
    m_published[object] = payload;
    sendPublished(object);
}

void PublishService::sendPublished(const QString& object) const
{
    if (m_client)
        m_client->publishRetained(PublishTopics(m_ctx.settings).base + QLatin1Char('/') + object,
                                  m_published.at(object));
}

QString PublishService::namesPath() const
{
    return QDir(m_ctx.paths.folder).filePath(QStringLiteral("PUBLISHEDNAMES.DTA"));
}

void PublishService::clearOldNames()
{
    FileIo& files = m_ctx.services.files;
    QStringList last;
    if (auto file = files.exists(namesPath()) ? files.open(namesPath(), FileIo::Mode::Read) : nullptr) {
        for (QByteArray line; last.size() < 3 && file->readLine(line);)
            last << QString::fromUtf8(line.trimmed());
    }
    const QStringList names = discoveryNames(m_ctx.settings);
    if (last == names)
        return;
    if (last.size() == 3) {
        GlobalSettings old = m_ctx.settings;
        old.DISCOVERY_PREFIX = last[0];
        old.MQTT_BASE_TOPIC = last[1];
        old.METER_ID = last[2];
        old.HOME_ASSISTANT_DISCOVERY = false; // every config cleared
        const std::vector<RetainedMessage> present = DiscoveryConfigs(m_ctx.settings);
        for (const RetainedMessage& config : DiscoveryConfigs(old)) {
            // A new name that makes the same topic (another character made "_") keeps its config.
            if (std::none_of(present.begin(), present.end(),
                             [&config](const RetainedMessage& p) { return p.topic == config.topic; }))
                m_client->publishRetained(config.topic, config.payload);
        }
    }
    auto file = files.open(namesPath(), FileIo::Mode::Truncate, FileIo::Commit::Atomic);
    if (!file || !file->write(names.join(QLatin1Char('\n')).toUtf8() + '\n') || !file->close())
        qCWarning(lcPublish).noquote() << "Could not note the published names in" << namesPath()
                                       << "; a later rename may leave the old configs in Home Assistant";
}

void PublishService::carryOut(const QString& topic, const QByteArray& payload, bool retained)
{
    m_commandRefusal = m_commands.dispatch(PublishTopics(m_ctx.settings).base, topic, payload, retained);
    if (m_commandRefusal.isEmpty())
        qCInfo(lcPublish).noquote() << "Command on" << topic << "carried out:" << payload;
    else
        qCWarning(lcPublish).noquote() << m_commandRefusal;
    emit statusChanged(statusText());
}

QString PublishService::setMeterReading(const QByteArray& payload, int tariff)
{
    if (tariff > m_reading.registerCount())
        return QStringLiteral("the meter has one tariff (Setup, Tariffs)");
    bool isNumber = false;
    const double kWh = payload.trimmed().toDouble(&isNumber);
    if (!isNumber)
        return CommandDispatcher::payloadIsNot(payload, QStringLiteral("a number of kWh"));
    return m_reading.setReading(kWh, m_reading.sourceForNewReading(), tariff);
}

QString PublishService::setTariff(const QByteArray& payload)
{
    if (m_ctx.settings.TARIFF_COUNT < 2 || !m_ctx.settings.TARIFF_FROM_MQTT)
        return QStringLiteral("the tariff follows its schedule (Setup, Tariffs)");
    const QByteArray tariff = payload.trimmed();
    if (tariff != "1" && tariff != "2")
        return CommandDispatcher::payloadIsNot(payload, QStringLiteral("tariff 1 or 2"));
    return setTariffFromCommand(m_ctx, tariff.toInt());
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
    if (!m_client)
        return QStringLiteral("Publishing is off");
    const QString text = m_client->status().text;
    return m_commandRefusal.isEmpty() ? text : text + QLatin1Char('\n') + m_commandRefusal;
}
