// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/FileIo.h"

#include <QString>
#include <QStringList>

struct AppContext;
struct GlobalSettings;

// The four original configuration files (and the declared extra ones, see SettingsFile.h): creation with factory
// content, the group writers and the group readers. Writers return "" on success, otherwise error texts each ended by
// CR LF.

// True when the path names an existing ordinary file (not hidden, not a directory).
bool FileExists(AppContext& ctx, const QString& path);

// A line buffer holds the lines of one file followed by this marker, which is never written.
inline const QString SettingsEndMarker = QStringLiteral("#end#");
inline constexpr int SettingsBufferMaxLines = 100;

// Configuration files are read and written with fixed retry counts; the FILE_* settings are for data files only.
inline constexpr int ConfigTries = 3;
inline constexpr int ConfigDelayTenths = 10;

// The exact lines of each file for the given record, closed by the end marker.
QStringList MeterSettingsLines(const GlobalSettings& s);
QStringList LoggingSettingsLines(const GlobalSettings& s);
QStringList AdvancedSettingsLines(const GlobalSettings& s);
QStringList CameraSettingsLines(const GlobalSettings& s);

// Writes the buffer's lines (up to the end marker, at most 100), each ended by CR LF. The old file is
// replaced only when every line went out, so a failure or a crash never leaves a half-written file.
QString write_settings_file(AppContext& ctx, const QString& path, const QStringList& lineBuffer,
                            FileIo::Access access = FileIo::Access::Shared);

void MakeDefaultSettingsFiles(AppContext& ctx);

QString SaveMeterSettings(AppContext& ctx);
QString SaveLoggingSettings(AppContext& ctx);
QString SaveAdvancedSettings(AppContext& ctx);
QString SaveCameraSettings(AppContext& ctx);

// Each reads one group into ctx.settings; false when the file could not be read or a value could not be
// converted, in which case the key concerned and all later keys of the group hold their factory values.
bool LoadMeterSettings(AppContext& ctx);
bool LoadLoggingSettings(AppContext& ctx);
// Also sets ctx.strGlobalEndOfLine and ctx.strGlobalFieldDelimiter from the code lists.
bool LoadAdvancedSettings(AppContext& ctx);
bool LoadCameraSettings(AppContext& ctx);

// Reads the four groups in order, then the extra files, showing "Failed to load ... settings" for each that fails.
void LoadAllSettings(AppContext& ctx);

// Decodes a comma-separated list of character codes; ok is false when an empty item could not be converted.
QString CodesToText(const QString& codeList, const QString& defaultList, bool* ok = nullptr);
// True when the settings file would read the list back (CodesToText succeeds on it).
bool IsValidCodeList(const QString& codeList);
