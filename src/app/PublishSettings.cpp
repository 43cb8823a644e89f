// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PublishSettings.h"

#include "app/SettingsFile.h"

#include <algorithm>

namespace PublishSettingsRules {

bool isHost(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

bool isTopic(const QString& text)
{
    if (text.isEmpty() || text.startsWith(QLatin1Char('/')) || text.endsWith(QLatin1Char('/')))
        return false;
    for (const QChar c : text) {
        if (c == QLatin1Char('+') || c == QLatin1Char('#') || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

bool isMeterId(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        const bool allowed =
            (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
            (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_') || c == QLatin1Char('-');
        if (!allowed)
            return false;
    }
    return true;
}

bool isCurrencyCode(const QString& text)
{
    if (text.isEmpty())
        return true;
    return text.size() == 3 && std::all_of(text.begin(), text.end(),
                                           [](QChar c) { return c >= QLatin1Char('A') && c <= QLatin1Char('Z'); });
}

} // namespace PublishSettingsRules

const SettingsFile& PublishSettingsFile()
{
    namespace R = PublishSettingsRules;
    using Flag = SettingsKey::Flag;
    using Number = SettingsKey::Number;
    using Text = SettingsKey::Text;
    using G = GlobalSettings;
    static const SettingsFile file{
        "PUBLISHSETTINGS.CFG",
        "publish",
        {{"MQTT Broker",
          {{"PUBLISH_MQTT", Flag{&G::PUBLISH_MQTT, false}},
           {"MQTT_HOST", Text{&G::MQTT_HOST, "localhost", &R::isHost}},
           {"MQTT_PORT", Number{&G::MQTT_PORT, 1883, {1, 65535}}},
           {"MQTT_USERNAME", Text{&G::MQTT_USERNAME, ""}},
           {"MQTT_PASSWORD", Text{&G::MQTT_PASSWORD, ""}},
           {"MQTT_USE_TLS", Flag{&G::MQTT_USE_TLS, false}},
           {"MQTT_CA_FILE", Text{&G::MQTT_CA_FILE, ""}}}},
         {"Topics",
          {{"MQTT_BASE_TOPIC", Text{&G::MQTT_BASE_TOPIC, "wattsight", &R::isTopic}},
           {"METER_ID", Text{&G::METER_ID, "meter1", &R::isMeterId}},
           {"HOME_ASSISTANT_DISCOVERY", Flag{&G::HOME_ASSISTANT_DISCOVERY, true}},
           {"DISCOVERY_PREFIX", Text{&G::DISCOVERY_PREFIX, "homeassistant", &R::isTopic}}}},
         // Its own section, appended: a file written before it reads as before.
         {"Energy Dashboard",
          {{"CURRENCY_CODE", Text{&G::CURRENCY_CODE, "", &R::isCurrencyCode}},
           {"PRICE_UNITS_PER_CURRENCY_UNIT", Number{&G::PRICE_UNITS_PER_CURRENCY_UNIT, 1, {1, 1000000}}},
           {"ACCEPT_MQTT_COMMANDS", Flag{&G::ACCEPT_MQTT_COMMANDS, false}},
           {"PUBLISH_PICTURE", Flag{&G::PUBLISH_PICTURE, false}}}},
         // The page the program serves; appended like the one before it.
         {"Web Page",
          {{"WEB_PAGE", Flag{&G::WEB_PAGE, false}},
           {"WEB_ADDRESS", Text{&G::WEB_ADDRESS, "127.0.0.1", &R::isHost}},
           {"WEB_PORT", Number{&G::WEB_PORT, 8080, {1, 65535}}},
           {"WEB_PASSWORD", Text{&G::WEB_PASSWORD, ""}}}}},
        true};
    return file;
}
