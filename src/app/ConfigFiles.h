// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

struct AppContext;

// The four configuration files: creation with factory content, the group writers and the group readers.
// Writers return "" on success, otherwise error texts each ended by CR LF.

bool FileExists(AppContext& ctx, const QString& path);
void MakeDefaultSettingsFiles(AppContext& ctx);

QString SaveMeterSettings(AppContext& ctx);
QString SaveLoggingSettings(AppContext& ctx);
QString SaveAdvancedSettings(AppContext& ctx);
QString SaveCameraSettings(AppContext& ctx);

bool LoadMeterSettings(AppContext& ctx);
bool LoadLoggingSettings(AppContext& ctx);
bool LoadAdvancedSettings(AppContext& ctx);
bool LoadCameraSettings(AppContext& ctx);

// Reads the four groups in order, showing "Failed to load ... settings" for each that fails.
void LoadAllSettings(AppContext& ctx);

// Decodes a comma-separated list of character codes; ok is false when an empty item could not be converted.
QString CodesToText(const QString& codeList, const QString& defaultList, bool* ok = nullptr);
