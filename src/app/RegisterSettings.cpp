// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RegisterSettings.h"

#include "app/RegisterRegion.h"
#include "app/SettingsFile.h"

#include <algorithm>

namespace RegisterRules {

bool isRegion(const QString& text)
{
    QString problem;
    RegisterRegion::parse(text, &problem);
    return problem.isEmpty();
}

qint32 decimalsInUse(const GlobalSettings& s)
{
    return std::clamp(s.REGISTER_DECIMALS, 0, std::max(s.REGISTER_DIGITS - 1, 0));
}

} // namespace RegisterRules

const SettingsFile& RegisterSettingsFile()
{
    namespace R = RegisterRules;
    using Number = SettingsKey::Number;
    using G = GlobalSettings;
    static const SettingsFile file{
        "REGISTERSETTINGS.CFG",
        "register",
        {{"Register",
          {{"REGISTER_REGION", SettingsKey::Text{&G::REGISTER_REGION, "", &R::isRegion}},
           {"REGISTER_DIGITS", Number{&G::REGISTER_DIGITS, 6, R::DIGITS}},
           {"REGISTER_DECIMALS", Number{&G::REGISTER_DECIMALS, 1, R::DECIMALS}},
           {"REGISTER_CHECK_MINUTES", Number{&G::REGISTER_CHECK_MINUTES, 10, R::CHECK_MINUTES}}}}}};
    return file;
}
