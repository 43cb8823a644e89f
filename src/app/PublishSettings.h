// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

struct SettingsFile;

// PUBLISHSETTINGS.CFG: where and how the readings are published to an MQTT broker.
const SettingsFile& PublishSettingsFile();

namespace PublishSettingsRules {
// A host name or address: not empty, no spaces or control characters.
bool isHost(const QString& text);
// One or more topic levels: not empty, no wildcard, no empty level at either end.
bool isTopic(const QString& text);
// Letters, digits, "_" and "-": the meter's id also names it in Home Assistant's ids.
bool isMeterId(const QString& text);
// Empty, or an ISO 4217 code: three upper-case letters.
bool isCurrencyCode(const QString& text);
} // namespace PublishSettingsRules
