// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "service/ProgramVersion.h"

#include <QString>

// Texts that name the product on the splash screen, the about box and every message box.
namespace ProductInfo {
inline const QString ApplicationTitle = QStringLiteral("WATTSIGHT");
inline const QString ProductName = QStringLiteral("Wattsight");
inline const QString VersionText = QStringLiteral("Version ") + QLatin1String(ProgramVersion);
inline const QString Slogan = QStringLiteral("Every turn of the disc, counted.");
inline const QString WebAddress = QStringLiteral("https://wattsight.example.org");
inline const QString Copyright = QStringLiteral("Copyright \u00A9 2026 The Wattsight developers. GNU GPL v3 or later.");
} // namespace ProductInfo
