// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/GlobalSettings.h"

#include <QString>

struct SettingsFile;

// TARIFFSETTINGS.CFG: a second tariff for a two-rate meter, its price and when it is in force. Tariff 1's price is
// COST_PER_KWH of the meter group.
const SettingsFile& TariffSettingsFile();

namespace TariffRules {
inline constexpr ReadRange<qint32> TARIFF_COUNT{1, 2};
inline constexpr int NAME_MAX_LENGTH = 20;
// Not empty and at most NAME_MAX_LENGTH characters.
bool isName(const QString& text);
// Ranges that TariffHours reads without a problem.
bool isHours(const QString& text);
} // namespace TariffRules
