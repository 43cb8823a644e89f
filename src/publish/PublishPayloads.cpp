// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/PublishPayloads.h"

#include "app/GlobalSettings.h"
#include "app/TextFormat.h"
#include "metering/MeterReadingStore.h"

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

enum class Unit
{
    None,
    Fixed,
    CurrencyTitlePerHour,
    CurrencyCodePerKwh,
    CurrencyCode,
};

enum SensorFlag : unsigned
{
    Optional = 1,      // absent from the state at times: rendered as unknown then
    Diagnostic = 2,    // of interest when looking into the meter, not on a dashboard
    Hidden = 4,        // not enabled until the user enables it
    NeedsCurrency = 8, // only while a currency code is set
    TwoTariffs = 16,   // only with two tariffs
};

struct Sensor
{
    const char* object;
    const char* name;
    const char* key;
    const char* deviceClass; // nullptr: none
    const char* stateClass;  // nullptr: none
    Unit unit;
    const char* fixedUnit;
    int precision; // the suggested display precision; -1: none
    unsigned flags;
};

constexpr Sensor Sensors[] = {
    {"power", "Power", "power_w", "power", "measurement", Unit::Fixed, "W", 0, 0},
    {"energy", "Energy", "energy_kwh", "energy", "total_increasing", Unit::Fixed, "kWh", 3, 0},
    {"revolutions", "Revolutions", "revolutions", nullptr, "total_increasing", Unit::None, nullptr, -1, Diagnostic},
    {"cost_per_hour", "Cost per hour", "cost_per_hour", nullptr, "measurement", Unit::CurrencyTitlePerHour, nullptr, -1,
     0},
    {"avg_power_5min", "Average power 5 min", "avg_power_5min_w", "power", "measurement", Unit::Fixed, "W", 0,
     Optional | Hidden},
    {"avg_power_1h", "Average power 1 h", "avg_power_1h_w", "power", "measurement", Unit::Fixed, "W", 0,
     Optional | Hidden},
    {MeterReadingObject, "Meter reading", "meter_reading_kwh", "energy", "total_increasing", Unit::Fixed, "kWh", 2,
     Optional},
    {"meter_reading_t1", "Meter reading tariff 1", "meter_reading_t1_kwh", "energy", "total_increasing", Unit::Fixed,
     "kWh", 2, Optional | TwoTariffs},
    {"meter_reading_t2", "Meter reading tariff 2", "meter_reading_t2_kwh", "energy", "total_increasing", Unit::Fixed,
     "kWh", 2, Optional | TwoTariffs},
    // A number that names a tariff, nothing to average.
    {"tariff", "Tariff", "tariff", nullptr, nullptr, Unit::None, nullptr, -1, TwoTariffs},
    {"price", "Price", "price", nullptr, "measurement", Unit::CurrencyCodePerKwh, nullptr, -1, NeedsCurrency},
    {"cost", "Cost", "cost", "monetary", "total", Unit::CurrencyCode, nullptr, -1, Optional | NeedsCurrency},
};

// The state is sent at least once a minute: three missed ones make the value unavailable.
constexpr int ExpireAfterSeconds = 180;

QString unitText(const Sensor& sensor, const GlobalSettings& s)
{
    switch (sensor.unit) {
    case Unit::Fixed:
        return QLatin1String(sensor.fixedUnit);
    case Unit::CurrencyTitlePerHour:
        return s.CURRENCY_TITLE + QStringLiteral("/h");
    case Unit::CurrencyCodePerKwh:
        return s.CURRENCY_CODE + QStringLiteral("/kWh");
    case Unit::CurrencyCode:
        return s.CURRENCY_CODE;
    case Unit::None:
        break;
    }
    return {};
}

QString valueTemplate(const QString& key, bool optional)
{
    // An absent value renders "None", which Home Assistant shows as unknown.
    return optional ? QStringLiteral("{{ value_json.%1 | default('None') }}").arg(key)
                    : QStringLiteral("{{ value_json.%1 }}").arg(key);
}

// What every entity of the meter says: its name, availability, device and origin.
QJsonObject entityBase(const char* name, const GlobalSettings& s, const PublishTopics& topics)
{
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{topics.nodeId}},
        {QStringLiteral("name"), QStringLiteral("Wattsight ") + s.METER_ID},
        {QStringLiteral("manufacturer"), QStringLiteral("Wattsight")},
        {QStringLiteral("model"), QStringLiteral("Disc meter camera reader")},
        {QStringLiteral("sw_version"), QStringLiteral(WATTSIGHT_VERSION)},
    };
    const QJsonObject origin{{QStringLiteral("name"), QStringLiteral("Wattsight")},
                             {QStringLiteral("sw_version"), QStringLiteral(WATTSIGHT_VERSION)}};
    return QJsonObject{
        {QStringLiteral("name"), QLatin1String(name)},
        {QStringLiteral("availability_topic"), topics.availability},
        {QStringLiteral("device"), device},
        {QStringLiteral("origin"), origin},
    };
}

RetainedMessage retained(const QString& topic, bool wanted, const QJsonObject& o)
{
    return RetainedMessage{topic, wanted ? QJsonDocument(o).toJson(QJsonDocument::Compact) : QByteArray()};
}

QString objectTopic(const PublishTopics& topics, const char* object)
{
    return topics.base + QLatin1Char('/') + QLatin1String(object);
}

// The switch, buttons, progress and picture of the remote control, while commands are taken.
void appendRemoteControlConfigs(std::vector<RetainedMessage>& configs, const GlobalSettings& s,
                                const PublishTopics& topics)
{
    const bool wanted = s.HOME_ASSISTANT_DISCOVERY && s.ACCEPT_MQTT_COMMANDS;
    const auto add = [&](const char* component, const QString& id, const char* name, QJsonObject o) {
        const QJsonObject base = entityBase(name, s, topics);
        for (auto it = base.begin(); it != base.end(); ++it)
            o.insert(it.key(), it.value());
        o.insert(QStringLiteral("unique_id"), topics.nodeId + QLatin1Char('_') + id);
        configs.push_back(retained(topics.discoveryConfig(id.toLatin1().constData(), component), wanted, o));
    };

    add("switch", QLatin1String(LoggingObject), "Logging",
        {{QStringLiteral("command_topic"), topics.commandTopic(LoggingObject)},
         {QStringLiteral("state_topic"), objectTopic(topics, LoggingObject)},
         {QStringLiteral("payload_on"), QStringLiteral("start")},
         {QStringLiteral("payload_off"), QStringLiteral("stop")},
         {QStringLiteral("state_on"), QStringLiteral("running")},
         {QStringLiteral("state_off"), QStringLiteral("stopped")}});
    const struct
    {
        const char* object;
        const char* payload;
        const char* name;
    } buttons[] = {
        {TripObject, "start", "Trip start"},
        {TripObject, "stop", "Trip stop"},
        {TripObject, "reset", "Trip reset"},
        {FindMarkObject, "start", "Find Mark start"},
        {FindMarkObject, "accept", "Find Mark accept"},
        {FindMarkObject, "cancel", "Find Mark cancel"},
        {PictureObject, "now", "Send picture"},
    };
    for (const auto& b : buttons)
        add("button", QLatin1String(b.object) + QLatin1Char('_') + QLatin1String(b.payload), b.name,
            {{QStringLiteral("command_topic"), topics.commandTopic(b.object)},
             {QStringLiteral("payload_press"), QLatin1String(b.payload)}});
    // The progress is JSON: the status as the state, the passes, hint and proposal as attributes.
    add("sensor", QLatin1String(FindMarkObject), "Find Mark",
        {{QStringLiteral("state_topic"), objectTopic(topics, FindMarkObject)},
         {QStringLiteral("value_template"), QStringLiteral("{{ value_json.status }}")},
         {QStringLiteral("json_attributes_topic"), objectTopic(topics, FindMarkObject)}});
    add("image", QLatin1String(PictureObject), "Picture",
        {{QStringLiteral("image_topic"), objectTopic(topics, PictureObject)},
         {QStringLiteral("content_type"), QStringLiteral("image/jpeg")}});
}

void insertTariffs(QJsonObject& o, const MeterReading& r)
{
    if (r.tariff)
        o.insert(QStringLiteral("tariff"), *r.tariff);
    if (r.meterReadingT1Kwh)
        o.insert(QStringLiteral("meter_reading_t1_kwh"), rounded(*r.meterReadingT1Kwh, 6));
    if (r.meterReadingT2Kwh)
        o.insert(QStringLiteral("meter_reading_t2_kwh"), rounded(*r.meterReadingT2Kwh, 6));
}

// The number entity that sets a register through the object's command; a number entity has no expiry.
QJsonObject readingNumber(QJsonObject number, const PublishTopics& topics, const char* object)
{
    number.insert(QStringLiteral("unique_id"),
                  topics.nodeId + QLatin1Char('_') + QLatin1String(object) + QStringLiteral("_set"));
    number.insert(QStringLiteral("command_topic"), topics.commandTopic(object));
    number.insert(QStringLiteral("min"), 0);
    number.insert(QStringLiteral("max"), MeterReadingStore::MaxKWh);
    number.insert(QStringLiteral("step"), 0.01);
    number.insert(QStringLiteral("mode"), QStringLiteral("box"));
    number.insert(QStringLiteral("unit_of_measurement"), QStringLiteral("kWh"));
    return number;
}

} // namespace

PublishTopics::PublishTopics(const GlobalSettings& s)
{
    const QString base = s.MQTT_BASE_TOPIC + QLatin1Char('/') + s.METER_ID;
    availability = base + QStringLiteral("/availability");
    state = base + QStringLiteral("/state");
    this->base = base;
    discoveryPrefix = s.DISCOVERY_PREFIX;
    discoveryStatus = discoveryPrefix + QStringLiteral("/status");
    nodeId = s.MQTT_BASE_TOPIC + QLatin1Char('_') + s.METER_ID;
    for (QChar& c : nodeId) {
        const bool allowed = c.isLetterOrNumber() && c.unicode() < 128;
        if (!allowed && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    }
}

QString PublishTopics::discoveryConfig(const char* object, const char* component) const
{
    return discoveryPrefix + QLatin1Char('/') + QLatin1String(component) + QLatin1Char('/') + nodeId +
           QLatin1Char('/') + QLatin1String(object) + QStringLiteral("/config");
}

QString PublishTopics::commandTopic(const char* object) const
{
    return base + QLatin1Char('/') + QLatin1String(object) + QStringLiteral("/set");
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
    if (r.meterReadingKwh)
        o.insert(QStringLiteral("meter_reading_kwh"), rounded(*r.meterReadingKwh, 6));
    if (r.price)
        o.insert(QStringLiteral("price"), rounded(*r.price, 6));
    if (r.cost)
        o.insert(QStringLiteral("cost"), rounded(*r.cost, 6));
    insertTariffs(o, r);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::vector<RetainedMessage> DiscoveryConfigs(const GlobalSettings& s)
{
    const PublishTopics topics(s);
    const auto entity = [&](const char* name, const QString& key, bool optional) {
        QJsonObject o = entityBase(name, s, topics);
        o.insert(QStringLiteral("state_topic"), topics.state);
        o.insert(QStringLiteral("value_template"), valueTemplate(key, optional));
        return o;
    };
    const bool currency = !s.CURRENCY_CODE.isEmpty();

    std::vector<RetainedMessage> configs;
    for (const Sensor& sensor : Sensors) {
        const QString key = QLatin1String(sensor.key);
        QJsonObject o = entity(sensor.name, key, sensor.flags & Optional);
        o.insert(QStringLiteral("unique_id"), topics.nodeId + QLatin1Char('_') + QLatin1String(sensor.object));
        if (sensor.stateClass)
            o.insert(QStringLiteral("state_class"), QLatin1String(sensor.stateClass));
        o.insert(QStringLiteral("expire_after"), ExpireAfterSeconds);
        if (sensor.deviceClass)
            o.insert(QStringLiteral("device_class"), QLatin1String(sensor.deviceClass));
        if (sensor.unit != Unit::None)
            o.insert(QStringLiteral("unit_of_measurement"), unitText(sensor, s));
        if (sensor.precision >= 0)
            o.insert(QStringLiteral("suggested_display_precision"), sensor.precision);
        if (sensor.flags & Diagnostic)
            o.insert(QStringLiteral("entity_category"), QStringLiteral("diagnostic"));
        if (sensor.flags & Hidden)
            o.insert(QStringLiteral("enabled_by_default"), false);
        const bool wanted = s.HOME_ASSISTANT_DISCOVERY && (currency || !(sensor.flags & NeedsCurrency)) &&
                            (s.TARIFF_COUNT > 1 || !(sensor.flags & TwoTariffs));
        configs.push_back(retained(topics.discoveryConfig(sensor.object), wanted, o));
    }

    // Setting the reading from Home Assistant; with two tariffs, tariff 1's register, and tariff 2's beside it.
    const bool twoTariffs = s.TARIFF_COUNT > 1;
    const bool commands = s.HOME_ASSISTANT_DISCOVERY && s.ACCEPT_MQTT_COMMANDS;
    configs.push_back(retained(
        topics.discoveryConfig(MeterReadingObject, "number"), commands,
        readingNumber(twoTariffs ? entity("Set meter reading tariff 1", QStringLiteral("meter_reading_t1_kwh"), true)
                                 : entity("Set meter reading", QStringLiteral("meter_reading_kwh"), true),
                      topics, MeterReadingObject)));
    configs.push_back(
        retained(topics.discoveryConfig(MeterReadingT2Object, "number"), commands && twoTariffs,
                readingNumber(entity("Set meter reading tariff 2", QStringLiteral("meter_reading_t2_kwh"), true),
                              topics, MeterReadingT2Object)));
    appendRemoteControlConfigs(configs, s, topics);
    return configs;
}
