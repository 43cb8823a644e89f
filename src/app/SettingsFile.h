// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/GlobalSettings.h"

#include <QStringList>
#include <variant>
#include <vector>

struct AppContext;

// A settings file beyond the four original ones, declared as data: its text, its factory content, its
// reader and its writer all follow from the declaration, so another file is one more declaration.
struct SettingsKey
{
    struct Flag
    {
        bool GlobalSettings::*field;
        bool factory;
    };
    struct Number
    {
        qint32 GlobalSettings::*field;
        qint32 factory;
        ReadRange<qint32> range;
    };
    // Written in the general format with a point, as the original files write their doubles.
    struct Real
    {
        double GlobalSettings::*field;
        double factory;
        ReadRange<double> range;
    };
    struct Text
    {
        QString GlobalSettings::*field;
        const char* factory;
        // Nullptr accepts any text, the empty one included.
        bool (*accepts)(const QString&) = nullptr;
    };

    const char* name;
    std::variant<Flag, Number, Real, Text> value;
};

struct SettingsSection
{
    const char* name;
    std::vector<SettingsKey> keys;
};

struct SettingsFile
{
    const char* fileName; // inside the data folder, e.g. "PUBLISHSETTINGS.CFG"
    // One lower-case word naming the group in messages: "Failed to load WORD settings",
    // "Error making Word Settings File: ", "Problem saving WORD settings: ".
    const char* group;
    std::vector<SettingsSection> sections;
    // Created and rewritten readable by its owner only (it may hold a password).
    bool ownerOnly = false;
};

QString SettingsFilePath(const AppContext& ctx, const SettingsFile& file);
// The file's lines for the given record: sections apart by one blank line, closed by the end marker.
QStringList SettingsFileLines(const SettingsFile& file, const GlobalSettings& s);
void ApplyFactoryDefaults(const SettingsFile& file, GlobalSettings& s);
// Writes the file from the given record; "" on success, otherwise the writer's error text.
QString WriteSettingsFile(AppContext& ctx, const SettingsFile& file, const GlobalSettings& s);
// Writes the file from ctx.settings.
QString SaveSettingsFile(AppContext& ctx, const SettingsFile& file);
// Reads the file into ctx.settings. A key the file lacks (one added in a later version) takes its factory value
// quietly. An unreadable file gives every key its factory value; a value that is not acceptable gives that key
// its factory value while the other keys are still read. False in both cases, so the caller can say the group
// failed.
bool LoadSettingsFile(AppContext& ctx, const SettingsFile& file);

QString SettingsFileMakeError(const SettingsFile& file);
QString SettingsFileLoadFailure(const SettingsFile& file);
QString SettingsFileSaveProblem(const SettingsFile& file);
