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
    CurrencyPerHour, // the code when set, else CURRENCY_TITLE
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
    Selectable = 32,   // replaced by a select entity while Home Assistant may set it (see tariffSelect)
    Direction = 64,    // only with COUNT_DIRECTION
    // Net of the revolutions that turn backwards with COUNT_DIRECTION: it may fall then, so it is a total that
    // Home Assistant must not take a fall of for a new meter.
    Net = 128,
    Register = 256, // only while the register's wheels are read
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
    {"energy", "Energy", "energy_kwh", "energy", "total_increasing", Unit::Fixed, "kWh", 3, Net},
    {"revolutions", "Revolutions", "revolutions", nullptr, "total_increasing", Unit::None, nullptr, -1,
     Diagnostic | Net},
    // Why the power is unknown when it is: the camera stopped, stalled or lost.
    {"camera", "Camera", "camera", nullptr, nullptr, Unit::None, nullptr, -1, Diagnostic},
    // Beyond it the count may be short.
    {"counts_up_to", "Counts every revolution up to", "counts_up_to_w", "power", nullptr, Unit::Fixed, "W", 0,
     Optional | Diagnostic},
    // How often the camera could not tell which way the disc turned.
    {"undecided_passes", "Undecided passes", "undecided_passes", nullptr, "total_increasing", Unit::None, nullptr, -1,
     Diagnostic | Direction},
    {"cost_per_hour", "Cost per hour", "cost_per_hour", nullptr, "measurement", Unit::CurrencyPerHour, nullptr, 2, 0},
    {"avg_power_5min", "Average power 5 min", "avg_power_5min_w", "power", "measurement", Unit::Fixed, "W", 0,
     Optional | Hidden},
    {"avg_power_1h", "Average power 1 h", "avg_power_1h_w", "power", "measurement", Unit::Fixed, "W", 0,
     Optional | Hidden},
    {MeterReadingObject, "Meter reading", "meter_reading_kwh", "energy", "total_increasing", Unit::Fixed, "kWh", 2,
     Optional | Net},
    {"meter_reading_t1", "Meter reading tariff 1", "meter_reading_t1_kwh", "energy", "total_increasing", Unit::Fixed,
     "kWh", 2, Optional | TwoTariffs | Net},
    {"meter_reading_t2", "Meter reading tariff 2", "meter_reading_t2_kwh", "energy", "total_increasing", Unit::Fixed,
     "kWh", 2, Optional | TwoTariffs | Net},
    {"energy_import", "Energy imported", "energy_import_kwh", "energy", "total_increasing", Unit::Fixed, "kWh", 2,
     Optional | Direction},
    {"energy_export", "Energy exported", "energy_export_kwh", "energy", "total_increasing", Unit::Fixed, "kWh", 2,
     Optional | Direction},
    // A number that names a tariff, nothing to average.
    {"tariff", "Tariff", "tariff", nullptr, nullptr, Unit::None, nullptr, -1, TwoTariffs | Selectable},
    {"price", "Price", "price", nullptr, "measurement", Unit::CurrencyCodePerKwh, nullptr, 4, NeedsCurrency},
    {"cost", "Cost", "cost", "monetary", "total", Unit::CurrencyCode, nullptr, 2, Optional | NeedsCurrency},
    // What the camera read on the register's wheels, to compare with the counted reading.
    {"register_seen", "Register read by the camera", "register_seen_kwh", "energy", "total_increasing", Unit::Fixed,
     "kWh", -1, Optional | Register | Net},
    {"register_checked", "Register checked", "register_checked", "timestamp", nullptr, Unit::None, nullptr, -1,
     Optional | Register | Diagnostic},
};

// The state is sent at least once a minute: three missed ones make the value unavailable.
constexpr int ExpireAfterSeconds = 180;

QString unitText(const Sensor& sensor, const GlobalSettings& s)
{
    switch (sensor.unit) {
    case Unit::Fixed:
        return QLatin1String(sensor.fixedUnit);
    case Unit::CurrencyPerHour:
        return (s.CURRENCY_CODE.isEmpty() ? s.CURRENCY_TITLE : s.CURRENCY_CODE) + QStringLiteral("/h");
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

// What every entity of the meter says: its name, ids, availability, device and origin. id: the entity's own part
// of its unique id.
QJsonObject entityBase(const char* name, const QString& id, const GlobalSettings& s, const PublishTopics& topics)
{
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{topics.deviceId}},
        {QStringLiteral("name"), QStringLiteral("Wattsight ") + s.METER_ID},
        {QStringLiteral("manufacturer"), QStringLiteral("Wattsight")},
        {QStringLiteral("model"), QStringLiteral("Disc meter camera reader")},
        {QStringLiteral("sw_version"), QStringLiteral(WATTSIGHT_VERSION)},
    };
    const QJsonObject origin{{QStringLiteral("name"), QStringLiteral("Wattsight")},
                             {QStringLiteral("sw_version"), QStringLiteral(WATTSIGHT_VERSION)}};
    return QJsonObject{
        {QStringLiteral("name"), QLatin1String(name)},
        {QStringLiteral("unique_id"), topics.deviceId + QLatin1Char('_') + id},
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

// Adds the configs of entities with topics of their own (not values of the state message).
struct EntityConfigs
{
    std::vector<RetainedMessage>& configs;
    const GlobalSettings& s;
    const PublishTopics& topics;

    // o: the entity's own fields; id: its part of the unique id and of the config's topic.
    void add(const char* component, const QString& id, const char* name, bool wanted, const char* category,
             QJsonObject o) const
    {
        const QJsonObject base = entityBase(name, id, s, topics);
        for (auto it = base.begin(); it != base.end(); ++it)
            o.insert(it.key(), it.value());
        if (category)
            o.insert(QStringLiteral("entity_category"), QLatin1String(category));
        configs.push_back(retained(topics.discoveryConfig(id.toLatin1().constData(), component), wanted, o));
    }
};

// The switch, buttons and progress of the remote control while commands are taken; the picture while it is sent,
// and its button while it is sent and commands are taken; the button that takes the camera's reading while the
// register is read and commands are taken.
void appendRemoteControlConfigs(const EntityConfigs& entities, bool registerRead)
{
    const GlobalSettings& s = entities.s;
    const PublishTopics& topics = entities.topics;
    const bool commands = s.HOME_ASSISTANT_DISCOVERY && s.ACCEPT_MQTT_COMMANDS;
    const bool picture = s.HOME_ASSISTANT_DISCOVERY && s.PUBLISH_PICTURE;

    entities.add("switch", QLatin1String(LoggingObject), "Logging", commands, nullptr,
                 {{QStringLiteral("command_topic"), topics.commandTopic(LoggingObject)},
                  {QStringLiteral("state_topic"), objectTopic(topics, LoggingObject)},
                  {QStringLiteral("payload_on"), QStringLiteral("start")},
                  {QStringLiteral("payload_off"), QStringLiteral("stop")},
                  {QStringLiteral("state_on"), QStringLiteral("running")},
                  {QStringLiteral("state_off"), QStringLiteral("stopped")}});
    // Find Mark changes the detector's settings: Home Assistant shows its buttons with the device's configuration.
    // Sending a picture, to aim the camera, goes with the picture among the diagnostics.
    const struct
    {
        const char* object;
        const char* payload;
        const char* name;
        bool wanted;
        const char* category;
    } buttons[] = {
        {TripObject, "start", "Trip start", commands, nullptr},
        {TripObject, "stop", "Trip stop", commands, nullptr},
        {TripObject, "reset", "Trip reset", commands, nullptr},
        {FindMarkObject, "start", "Find Mark start", commands, "config"},
        {FindMarkObject, "accept", "Find Mark accept", commands, "config"},
        {FindMarkObject, "cancel", "Find Mark cancel", commands, "config"},
        {PictureObject, "now", "Send picture", commands && picture, "diagnostic"},
        {MeterReadingObject, CameraReadingPayload, "Take the camera's reading", commands && registerRead, "config"},
    };
    for (const auto& b : buttons)
        entities.add("button", QLatin1String(b.object) + QLatin1Char('_') + QLatin1String(b.payload), b.name, b.wanted,
                     b.category,
                     {{QStringLiteral("command_topic"), topics.commandTopic(b.object)},
                      {QStringLiteral("payload_press"), QLatin1String(b.payload)}});
    // The progress is JSON: the status as the state, the passes, hint and proposal as attributes.
    entities.add("sensor", QLatin1String(FindMarkObject), "Find Mark", commands, "diagnostic",
                 {{QStringLiteral("state_topic"), objectTopic(topics, FindMarkObject)},
                  {QStringLiteral("value_template"), QStringLiteral("{{ value_json.status }}")},
                  {QStringLiteral("json_attributes_topic"), objectTopic(topics, FindMarkObject)}});
    entities.add("image", QLatin1String(PictureObject), "Picture", picture, "diagnostic",
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

void insertDirection(QJsonObject& o, const MeterReading& r)
{
    if (r.energyImportKwh)
        o.insert(QStringLiteral("energy_import_kwh"), rounded(*r.energyImportKwh, 6));
    if (r.energyExportKwh)
        o.insert(QStringLiteral("energy_export_kwh"), rounded(*r.energyExportKwh, 6));
    if (r.undecidedPasses)
        o.insert(QStringLiteral("undecided_passes"), *r.undecidedPasses);
}

// The number entity that sets a register through the object's command; a number entity has no expiry. Setting
// the reading is part of setting the meter up: Home Assistant shows it with the device's configuration.
QJsonObject readingNumber(QJsonObject number, const PublishTopics& topics, const char* object)
{
    number.insert(QStringLiteral("entity_category"), QStringLiteral("config"));
    number.insert(QStringLiteral("command_topic"), topics.commandTopic(object));
    number.insert(QStringLiteral("min"), 0);
    number.insert(QStringLiteral("max"), MeterReadingStore::MaxKWh);
    number.insert(QStringLiteral("step"), 0.01);
    number.insert(QStringLiteral("mode"), QStringLiteral("box"));
    number.insert(QStringLiteral("unit_of_measurement"), QStringLiteral("kWh"));
    return number;
}

constexpr char TariffObject[] = "tariff";

// The tariff chosen by its name, which the tariff's command takes besides its number.
QJsonObject tariffSelect(QJsonObject select, const GlobalSettings& s, const PublishTopics& topics)
{
    const QJsonArray names{s.TARIFF_1_NAME, s.TARIFF_2_NAME};
    select.insert(QStringLiteral("command_topic"), topics.commandTopic(TariffObject));
    select.insert(QStringLiteral("options"), names);
    // The state's number picks the name. A JSON list is a list in Home Assistant's templates too, whatever quotes
    // or braces a name holds.
    select.insert(QStringLiteral("value_template"),
                  QStringLiteral("{{ %1[value_json.tariff - 1] }}")
                      .arg(QString::fromUtf8(QJsonDocument(names).toJson(QJsonDocument::Compact))));
    return select;
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
    deviceId = nodeId;
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
    // An unknown power is null rather than left out, so a reader of the topic tells it from an older message.
    const auto orNull = [](const std::optional<double>& value, int places) {
        return value ? QJsonValue(rounded(*value, places)) : QJsonValue(QJsonValue::Null);
    };
    QJsonObject o{{QStringLiteral("power_w"), orNull(r.powerW, 3)},
                  {QStringLiteral("power_is_bound"), r.powerIsBound},
                  {QStringLiteral("energy_kwh"), rounded(r.energyKwh, 6)},
                  {QStringLiteral("revolutions"), r.revolutions},
                  {QStringLiteral("cost_per_hour"), orNull(r.costPerHour, 6)},
                  {QStringLiteral("camera"), r.camera},
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
    if (r.countsUpToW)
        o.insert(QStringLiteral("counts_up_to_w"), *r.countsUpToW);
    insertTariffs(o, r);
    insertDirection(o, r);
    if (r.registerSeenKwh)
        o.insert(QStringLiteral("register_seen_kwh"), rounded(*r.registerSeenKwh, 6));
    if (r.registerChecked.isValid())
        o.insert(QStringLiteral("register_checked"), isoWithOffset(r.registerChecked));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray RegisterCheckPayload(bool differs, const QString& problem)
{
    QJsonObject o{{QStringLiteral("differs"), differs}};
    if (differs)
        o.insert(QStringLiteral("problem"), problem);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::vector<RetainedMessage> DiscoveryConfigs(const GlobalSettings& s, const QString& deviceId, bool registerRead)
{
    PublishTopics topics(s);
    if (!deviceId.isEmpty())
        topics.deviceId = deviceId;
    // An entity whose state is one value of the state message.
    const auto entity = [&](const char* name, const QString& id, const QString& key, bool optional) {
        QJsonObject o = entityBase(name, id, s, topics);
        o.insert(QStringLiteral("state_topic"), topics.state);
        o.insert(QStringLiteral("value_template"), valueTemplate(key, optional));
        return o;
    };
    const bool currency = !s.CURRENCY_CODE.isEmpty();
    const bool twoTariffs = s.TARIFF_COUNT > 1;
    const bool commands = s.HOME_ASSISTANT_DISCOVERY && s.ACCEPT_MQTT_COMMANDS;
    // Home Assistant may pass the utility's switch on: the tariff is then chosen there, not only shown.
    const bool selectTariff = commands && twoTariffs && s.TARIFF_FROM_MQTT;

    std::vector<RetainedMessage> configs;
    for (const Sensor& sensor : Sensors) {
        const QString key = QLatin1String(sensor.key);
        QJsonObject o = entity(sensor.name, QLatin1String(sensor.object), key, sensor.flags & Optional);
        if (sensor.stateClass)
            o.insert(QStringLiteral("state_class"), (sensor.flags & Net) && s.COUNT_DIRECTION
                                                        ? QStringLiteral("total")
                                                        : QLatin1String(sensor.stateClass));
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
        const bool wanted =
            s.HOME_ASSISTANT_DISCOVERY && (currency || !(sensor.flags & NeedsCurrency)) &&
            (twoTariffs || !(sensor.flags & TwoTariffs)) && (s.COUNT_DIRECTION || !(sensor.flags & Direction)) &&
            (registerRead || !(sensor.flags & Register)) && !(selectTariff && (sensor.flags & Selectable));
        configs.push_back(retained(topics.discoveryConfig(sensor.object), wanted, o));
    }

    // Setting the reading from Home Assistant; with two tariffs, tariff 1's register, and tariff 2's beside it.
    const auto number = [&](const char* object, const char* name, const char* key) {
        return readingNumber(entity(name, QLatin1String(object) + QStringLiteral("_set"), QLatin1String(key), true),
                             topics, object);
    };
    configs.push_back(retained(topics.discoveryConfig(MeterReadingObject, "number"), commands,
                               twoTariffs
                                   ? number(MeterReadingObject, "Set meter reading tariff 1", "meter_reading_t1_kwh")
                                   : number(MeterReadingObject, "Set meter reading", "meter_reading_kwh")));
    configs.push_back(retained(topics.discoveryConfig(MeterReadingT2Object, "number"), commands && twoTariffs,
                               number(MeterReadingT2Object, "Set meter reading tariff 2", "meter_reading_t2_kwh")));
    configs.push_back(retained(topics.discoveryConfig(TariffObject, "select"), selectTariff,
                               tariffSelect(entity("Tariff", QStringLiteral("tariff_set"), {}, false), s, topics)));
    const EntityConfigs entities{configs, s, topics};
    // How far the register is from the count goes along as an attribute.
    entities.add("binary_sensor", QLatin1String(RegisterObject), "Register differs from count",
                 s.HOME_ASSISTANT_DISCOVERY && registerRead, nullptr,
                 {{QStringLiteral("state_topic"), objectTopic(topics, RegisterObject)},
                  {QStringLiteral("value_template"), QStringLiteral("{{ 'ON' if value_json.differs else 'OFF' }}")},
                  {QStringLiteral("device_class"), QStringLiteral("problem")},
                  {QStringLiteral("json_attributes_topic"), objectTopic(topics, RegisterObject)}});
    appendRemoteControlConfigs(entities, registerRead);
    return configs;
}
