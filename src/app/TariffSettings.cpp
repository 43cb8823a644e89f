// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TariffSettings.h"

#include "app/SettingsFile.h"
#include "app/TariffSchedule.h"

namespace TariffRules {

bool isName(const QString& text)
{
    return !text.trimmed().isEmpty() && text.size() <= NAME_MAX_LENGTH;
}

bool isHours(const QString& text)
{
    return TariffHours::parse(text).problem.isEmpty();
}

} // namespace TariffRules

const SettingsFile& TariffSettingsFile()
{
    namespace R = TariffRules;
    using Flag = SettingsKey::Flag;
    using Number = SettingsKey::Number;
    using Real = SettingsKey::Real;
    using Text = SettingsKey::Text;
    using G = GlobalSettings;
    static const SettingsFile file{
        "TARIFFSETTINGS.CFG",
        "tariff",
        {{"Tariffs",
          {{"TARIFF_COUNT", Number{&G::TARIFF_COUNT, 1, R::TARIFF_COUNT}},
           {"TARIFF_1_NAME", Text{&G::TARIFF_1_NAME, "Day", &R::isName}},
           {"TARIFF_2_NAME", Text{&G::TARIFF_2_NAME, "Night", &R::isName}},
           {"TARIFF_2_COST_PER_KWH", Real{&G::TARIFF_2_COST_PER_KWH, 5, SettingsRanges::COST_PER_KWH}}}},
         {"Schedule",
          {{"TARIFF_2_HOURS", Text{&G::TARIFF_2_HOURS, "22:00-06:00", &R::isHours}},
           {"TARIFF_2_ALL_WEEKEND", Flag{&G::TARIFF_2_ALL_WEEKEND, false}},
           {"TARIFF_FROM_MQTT", Flag{&G::TARIFF_FROM_MQTT, false}}}}}};
    return file;
}
