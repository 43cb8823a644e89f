// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/PublishService.h"

#include "app/FileIo.h"
#include "app/PublishSettings.h"
#include "app/SettingsFile.h"
#include "capture/RegisterWatch.h"
#include "metering/MeterReadingStore.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"
#include "metering/Tariffs.h"
#include "publish/PresentReading.h"

#include <QDir>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QUuid>
#include <algorithm>

namespace {
Q_LOGGING_CATEGORY(lcPublish, "wattsight.publish")

// The names that make the discovery topics, in the order of the file's lines.
QStringList discoveryNames(const GlobalSettings& s)
{
    return {s.DISCOVERY_PREFIX, s.MQTT_BASE_TOPIC, s.METER_ID};
}

// The first lines of a small file of the data folder, trimmed; none when it is missing or cannot be read.
QStringList readLines(FileIo& files, const QString& path, qsizetype count)
{
    QStringList lines;
    if (auto file = files.exists(path) ? files.open(path, FileIo::Mode::Read) : nullptr)
        for (QByteArray line; lines.size() < count && file->readLine(line);)
            lines << QString::fromUtf8(line.trimmed());
    return lines;
}

// Replaces a small file of the data folder whole; false when it could not be written.
bool writeLines(FileIo& files, const QString& path, const QStringList& lines)
{
    auto file = files.open(path, FileIo::Mode::Truncate, FileIo::Commit::Atomic);
    return file && file->write(lines.join(QLatin1Char('\n')).toUtf8() + '\n') && file->close();
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
    // The utility's switch is a state: a bridge that keeps it retained at the broker says the same at each connection.
    m_commands.add(
        QStringLiteral("tariff"), [this](const QByteArray& payload) { return setTariff(payload); },
        CommandDispatcher::Retained::Taken);
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
    // The web page's settings share the file but not the connection.
    QStringList inForce = SettingsFileLines(PublishSettingsFile(), m_ctx.settings) << m_ctx.settings.CURRENCY_TITLE;
    inForce.removeIf([](const QString& line) { return line.startsWith(QLatin1String("WEB_")); });
    const auto applied = qScopeGuard([this] { emit settingsApplied(); });
    if (m_client && inForce == m_inForce)
        return;
    m_inForce = inForce;
    stop();
    if (m_ctx.settings.PUBLISH_MQTT) {
        m_client = std::make_unique<MqttClient>(connectionOptions(m_ctx.settings));
        connect(m_client.get(), &MqttClient::statusChanged, this, [this] { emit statusChanged(statusText()); });
        connect(m_client.get(), &MqttClient::commandReceived, this, &PublishService::carryOut);
        const QStringList last = lastNames();
        useDeviceId(last);
        // The old configs go first: with the same ids, Home Assistant would refuse the new entities while the old
        // ones are there.
        clearOldNames(last);
        m_publisher = std::make_unique<MeterPublisher>(m_ctx, *m_client, m_totals, m_reading, m_deviceId, m_register);
        // A picture shows the inside of a home: none stays at the broker while pictures are off, not even one sent
        // before they were.
        if (!m_ctx.settings.PUBLISH_PICTURE) {
            m_published.erase(QLatin1String(PictureObject));
            m_client->publishRetained(
                PublishTopics(m_ctx.settings).base + QLatin1Char('/') + QLatin1String(PictureObject), {});
        }
        for (const auto& published : m_published)
            sendPublished(published.first);
        m_timer.start();
    }
    emit statusChanged(statusText());
}

void PublishService::watchRegister(RegisterWatch& watch)
{
    Q_ASSERT(!m_register && !m_publisher);
    m_register = &watch;
    connect(&watch, &RegisterWatch::changed, this, [this] {
        if (m_publisher)
            m_publisher->readingChanged();
    });
}

void PublishService::publishAt(const QString& object, const QByteArray& payload)
{
    m_published[object] = payload;
    sendPublished(object);
}

QByteArray PublishService::published(const QString& object) const
{
    const auto it = m_published.find(object);
    return it == m_published.end() ? QByteArray() : it->second;
}

MeterReading PublishService::present()
{
    return PresentReading(m_ctx, m_totals, m_reading, m_register);
}

QString PublishService::command(const QString& name, const QByteArray& payload)
{
    const QString where = QStringLiteral("the web page's ") + CommandDispatcher::printable(name);
    const QString refusal = m_commands.carryOut(name, payload);
    noteOutcome(refusal.isEmpty() ? refusal : QStringLiteral("Command on %1 refused: %2").arg(where, refusal), where,
                payload);
    return refusal;
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

QStringList PublishService::lastNames() const
{
    return readLines(m_ctx.services.files, namesPath(), 3);
}

void PublishService::useDeviceId(const QStringList& last)
{
    FileIo& files = m_ctx.services.files;
    const QString path = QDir(m_ctx.paths.folder).filePath(QStringLiteral("DEVICEID.DTA"));
    QString id;
    if (files.exists(path)) {
        id = readLines(files, path, 1).value(0);
        if (!PublishSettingsRules::isMeterId(id)) {
            qCWarning(lcPublish).noquote() << "Could not read the device id from" << path
                                           << "; Home Assistant's ids follow the base topic and the meter id";
            id.clear();
        }
    } else {
        // The ids the entities have had so far: those of the names last published under.
        GlobalSettings first = m_ctx.settings;
        if (last.size() == 3)
            std::tie(first.MQTT_BASE_TOPIC, first.METER_ID) = std::tie(last[1], last[2]);
        id = PublishTopics(first).nodeId;
        if (!writeLines(files, path, {id})) {
            qCWarning(lcPublish).noquote() << "Could not keep the device id in" << path
                                           << "; Home Assistant's ids follow the base topic and the meter id";
            id.clear();
        }
    }
    m_deviceId = id;
}

void PublishService::clearOldNames(const QStringList& last)
{
    const QStringList names = discoveryNames(m_ctx.settings);
    if (last == names)
        return;
    if (last.size() == 3) {
        GlobalSettings old = m_ctx.settings;
        old.DISCOVERY_PREFIX = last[0];
        old.MQTT_BASE_TOPIC = last[1];
        old.METER_ID = last[2];
        old.HOME_ASSISTANT_DISCOVERY = false; // every config cleared
        // Every config has its topic, whatever is wanted: the register's too.
        const std::vector<RetainedMessage> present = DiscoveryConfigs(m_ctx.settings, m_deviceId, true);
        for (const RetainedMessage& config : DiscoveryConfigs(old, m_deviceId, true)) {
            // A new name that makes the same topic (another character made "_") keeps its config.
            if (std::none_of(present.begin(), present.end(),
                             [&config](const RetainedMessage& p) { return p.topic == config.topic; }))
                m_client->publishRetained(config.topic, config.payload);
        }
        // Nothing sends the picture under the old base again, and no one would clear it there.
        const QString oldBase = PublishTopics(old).base;
        if (oldBase != PublishTopics(m_ctx.settings).base)
            m_client->publishRetained(oldBase + QLatin1Char('/') + QLatin1String(PictureObject), {});
    }
    if (!writeLines(m_ctx.services.files, namesPath(), names))
        qCWarning(lcPublish).noquote() << "Could not note the published names in" << namesPath()
                                       << "; a later rename may leave the old configs in Home Assistant";
}

void PublishService::carryOut(const QString& topic, const QByteArray& payload, bool retained)
{
    noteOutcome(m_commands.dispatch(PublishTopics(m_ctx.settings).base, topic, payload, retained),
                CommandDispatcher::printable(topic), payload);
}

void PublishService::noteOutcome(const QString& refusal, const QString& where, const QByteArray& payload)
{
    m_commandRefusal = refusal;
    if (refusal.isEmpty())
        qCInfo(lcPublish).noquote() << "Command on" << where << "carried out:" << CommandDispatcher::quoted(payload);
    else
        qCWarning(lcPublish).noquote() << refusal;
    emit statusChanged(statusText());
}

QString PublishService::setMeterReading(const QByteArray& payload, int tariff)
{
    if (tariff > m_reading.registerCount())
        return QStringLiteral("the meter has one tariff (Setup, Tariffs)");
    if (m_register && tariff == 1 && payload.trimmed() == CameraReadingPayload)
        return m_register->takeReading();
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
    // Home Assistant's select sends the tariff's name.
    const QByteArray command = payload.trimmed();
    for (const int tariff : {1, 2})
        if (command == QByteArray::number(tariff) || command == TariffName(m_ctx.settings, tariff).toUtf8())
            return setTariffFromCommand(m_ctx, tariff);
    return CommandDispatcher::payloadIsNot(
        payload,
        QStringLiteral("tariff 1 or 2, %1 or %2").arg(TariffName(m_ctx.settings, 1), TariffName(m_ctx.settings, 2)));
}

void PublishService::stop()
{
    m_timer.stop();
    m_publisher.reset();
    m_client.reset();
}

void PublishService::revolutionCounted(const MeteringContext& ctx, const MeterSource&)
{
    const double kWh = 1.0 / ctx.pulse.counted.revsPerKWh;
    const bool forward = TurnSign(ctx.pulse) > 0;
    m_totals.energyKwh += forward ? kWh : -kWh;
    m_totals.revolutions += forward ? 1 : -1;
    (forward ? m_totals.energyForwardKwh : m_totals.energyBackwardKwh) += kWh;
    ++(forward ? m_totals.revolutionsForward : m_totals.revolutionsBackward);
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
