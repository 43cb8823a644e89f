// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/PublishPayloads.h"

#include "app/GlobalSettings.h"
#include "app/TextFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>

namespace {

// Enough places for a watt-hour meter, few enough that no binary-fraction noise reaches the payload.
double rounded(double value, int places)
{
    return TextFormat::roundToPlaces(value, places);
}

// Always "+hh:mm", also for UTC, so every consumer reads the offset the same way.
QString isoWithOffset(const QDateTime& time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

struct Sensor
{
    const char* object;
    const char* name;
    const char* key;
    const char* deviceClass; // nullptr: none
    const char* stateClass;
    const char* unit; // nullptr: none; "" : the currency title per hour
    bool optional;    // absent from the state while no run goes on
};

constexpr Sensor Sensors[] = {
    {"power", "Power", "power_w", "power", "measurement", "W", false},
    {"energy", "Energy", "energy_kwh", "energy", "total_increasing", "kWh", false},
    {"revolutions", "Revolutions", "revolutions", nullptr, "total_increasing", nullptr, false},
    {"cost_per_hour", "Cost per hour", "cost_per_hour", nullptr, "measurement", "", false},
    {"avg_power_5min", "Average power 5 min", "avg_power_5min_w", "power", "measurement", "W", true},
    {"avg_power_1h", "Average power 1 h", "avg_power_1h_w", "power", "measurement", "W", true},
};

} // namespace

PublishTopics::PublishTopics(const GlobalSettings& s)
{
    const QString base = s.MQTT_BASE_TOPIC + QLatin1Char('/') + s.METER_ID;
    availability = base + QStringLiteral("/availability");
    state = base + QStringLiteral("/state");
    discoveryPrefix = s.DISCOVERY_PREFIX;
    discoveryStatus = discoveryPrefix + QStringLiteral("/status");
    nodeId = s.MQTT_BASE_TOPIC + QLatin1Char('_') + s.METER_ID;
    for (QChar& c : nodeId) {
        const bool allowed = c.isLetterOrNumber() && c.unicode() < 128;
        if (!allowed && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    }
}

QString PublishTopics::discoveryConfig(const char* object) const
{
    return discoveryPrefix + QStringLiteral("/sensor/") + nodeId + QLatin1Char('/') + QLatin1String(object) +
           QStringLiteral("/config");
}

QByteArray StatePayload(const MeterReading& r)
{
    QJsonObject o{{QStringLiteral("power_w"), rounded(r.powerW, 3)},
                  {QStringLiteral("power_is_bound"), r.powerIsBound},
                  {QStringLiteral("energy_kwh"), rounded(r.energyKwh, 6)},
                  {QStringLiteral("revolutions"), r.revolutions},
                  {QStringLiteral("cost_per_hour"), rounded(r.costPerHour, 6)},
                  {QStringLiteral("timestamp"), isoWithOffset(r.time)}};
    if (r.avgPower5minW)
        o.insert(QStringLiteral("avg_power_5min_w"), rounded(*r.avgPower5minW, 3));
    if (r.avgPower1hW)
        o.insert(QStringLiteral("avg_power_1h_w"), rounded(*r.avgPower1hW, 3));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::vector<RetainedMessage> DiscoveryConfigs(const GlobalSettings& s)
{
    const PublishTopics topics(s);
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{topics.nodeId}},
        {QStringLiteral("name"), QStringLiteral("Wattsight ") + s.METER_ID},
        {QStringLiteral("manufacturer"), QStringLiteral("Wattsight")},
        {QStringLiteral("model"), QStringLiteral("Disc meter camera reader")},
        {QStringLiteral("sw_version"), QStringLiteral(WATTSIGHT_VERSION)},
    };
    std::vector<RetainedMessage> configs;
    for (const Sensor& sensor : Sensors) {
        const QString key = QLatin1String(sensor.key);
        QJsonObject o{
            {QStringLiteral("name"), QLatin1String(sensor.name)},
            {QStringLiteral("unique_id"), topics.nodeId + QLatin1Char('_') + QLatin1String(sensor.object)},
            {QStringLiteral("state_topic"), topics.state},
            // An absent average renders "None", which Home Assistant shows as unknown.
            {QStringLiteral("value_template"), sensor.optional
                                                   ? QStringLiteral("{{ value_json.%1 | default('None') }}").arg(key)
                                                   : QStringLiteral("{{ value_json.%1 }}").arg(key)},
            {QStringLiteral("availability_topic"), topics.availability},
            {QStringLiteral("state_class"), QLatin1String(sensor.stateClass)},
            {QStringLiteral("device"), device},
        };
        if (sensor.deviceClass)
            o.insert(QStringLiteral("device_class"), QLatin1String(sensor.deviceClass));
        if (sensor.unit) {
            const QString unit = *sensor.unit ? QLatin1String(sensor.unit) : s.CURRENCY_TITLE + QStringLiteral("/h");
            o.insert(QStringLiteral("unit_of_measurement"), unit);
        }
        configs.push_back({topics.discoveryConfig(sensor.object), QJsonDocument(o).toJson(QJsonDocument::Compact)});
    }
    return configs;
}
