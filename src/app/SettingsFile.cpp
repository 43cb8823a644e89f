// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SettingsFile.h"

#include "app/AppContext.h"
#include "app/ConfigFiles.h"
#include "app/IniFile.h"
#include "app/TextFormat.h"

#include <QDir>
#include <cmath>

namespace {

template <typename... F> struct Overloaded : F...
{
    using F::operator()...;
};
template <typename... F> Overloaded(F...) -> Overloaded<F...>;

QString valueText(const SettingsKey& key, const GlobalSettings& s)
{
    return std::visit(Overloaded{[&s](const SettingsKey::Flag& f) {
                                     return s.*f.field ? QStringLiteral("true") : QStringLiteral("false");
                                 },
                                 [&s](const SettingsKey::Number& n) { return QString::number(s.*n.field); },
                                 [&s](const SettingsKey::Real& r) { return TextFormat::formatGeneral(s.*r.field); },
                                 [&s](const SettingsKey::Text& t) {
                                     // A value cannot span lines in this format.
                                     QString text = s.*t.field;
                                     return text.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
                                 }},
                      key.value);
}

void setFactory(const SettingsKey& key, GlobalSettings& s)
{
    std::visit(Overloaded{[&s](const SettingsKey::Flag& f) { s.*f.field = f.factory; },
                          [&s](const SettingsKey::Number& n) { s.*n.field = n.factory; },
                          [&s](const SettingsKey::Real& r) { s.*r.field = r.factory; },
                          [&s](const SettingsKey::Text& t) { s.*t.field = QString::fromUtf8(t.factory); }},
               key.value);
}

// True when the text was acceptable and stored.
bool setFromText(const SettingsKey& key, const QString& text, GlobalSettings& s)
{
    return std::visit(Overloaded{[&](const SettingsKey::Flag& f) {
                                     const QString word = TextFormat::trimSpaces(text).toUpper();
                                     if (word != QLatin1String("TRUE") && word != QLatin1String("FALSE"))
                                         return false;
                                     s.*f.field = word == QLatin1String("TRUE");
                                     return true;
                                 },
                                 [&](const SettingsKey::Number& n) {
                                     const auto number = TextFormat::parseNumber(text);
                                     if (!number || std::trunc(*number) != *number || *number < n.range.min ||
                                         *number > n.range.max)
                                         return false;
                                     s.*n.field = static_cast<qint32>(*number);
                                     return true;
                                 },
                                 [&](const SettingsKey::Real& r) {
                                     const auto number = TextFormat::parseNumber(text);
                                     if (!number || !r.range.contains(*number))
                                         return false;
                                     s.*r.field = *number;
                                     return true;
                                 },
                                 [&](const SettingsKey::Text& t) {
                                     // A line break could not be written back.
                                     if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) ||
                                         (t.accepts && !t.accepts(text)))
                                         return false;
                                     s.*t.field = text;
                                     return true;
                                 }},
                      key.value);
}

QString capitalised(const char* word)
{
    QString text = QString::fromLatin1(word);
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

} // namespace

QString SettingsFilePath(const AppContext& ctx, const SettingsFile& file)
{
    return QDir::toNativeSeparators(QDir(ctx.paths.folder).absoluteFilePath(QLatin1String(file.fileName)));
}

QStringList SettingsFileLines(const SettingsFile& file, const GlobalSettings& s)
{
    QStringList lines;
    for (const SettingsSection& section : file.sections) {
        if (!lines.isEmpty())
            lines << QString();
        lines << QLatin1Char('[') + QLatin1String(section.name) + QLatin1Char(']');
        for (const SettingsKey& key : section.keys)
            lines << QLatin1String(key.name) + QLatin1Char('=') + valueText(key, s);
    }
    lines << SettingsEndMarker;
    return lines;
}

void ApplyFactoryDefaults(const SettingsFile& file, GlobalSettings& s)
{
    for (const SettingsSection& section : file.sections)
        for (const SettingsKey& key : section.keys)
            setFactory(key, s);
}

QString WriteSettingsFile(AppContext& ctx, const SettingsFile& file, const GlobalSettings& s)
{
    return write_settings_file(ctx, SettingsFilePath(ctx, file), SettingsFileLines(file, s),
                               file.ownerOnly ? FileIo::Access::OwnerOnly : FileIo::Access::Shared);
}

QString SaveSettingsFile(AppContext& ctx, const SettingsFile& file)
{
    return WriteSettingsFile(ctx, file, ctx.settings);
}

bool LoadSettingsFile(AppContext& ctx, const SettingsFile& file)
{
    IniFile ini(ctx.services.files, ctx.services.clock, ctx.services.pump);
    const QString path = SettingsFilePath(ctx, file);
    bool complete = true;
    bool readable = true;
    for (const SettingsSection& section : file.sections) {
        for (const SettingsKey& key : section.keys) {
            auto read = [&](int occurrence) {
                return ini.iniread(path, QLatin1String(section.name), QLatin1String(key.name), occurrence, ConfigTries,
                                   ConfigDelayTenths, false);
            };
            std::optional<QString> text;
            if (readable) {
                const std::optional<QString> lines = read(0);
                // A key added after the file was written: its factory value, and the next save writes it.
                if (lines == QLatin1String("0")) {
                    setFactory(key, ctx.settings);
                    continue;
                }
                text = lines ? read(1) : std::nullopt;
            }
            readable = readable && text.has_value();
            if (!text || !setFromText(key, *text, ctx.settings)) {
                setFactory(key, ctx.settings);
                complete = false;
            }
        }
    }
    return complete;
}

QString SettingsFileMakeError(const SettingsFile& file)
{
    return QStringLiteral("Error making %1 Settings File: ").arg(capitalised(file.group));
}

QString SettingsFileLoadFailure(const SettingsFile& file)
{
    return QStringLiteral("Failed to load %1 settings").arg(QLatin1String(file.group));
}

QString SettingsFileSaveProblem(const SettingsFile& file)
{
    return QStringLiteral("Problem saving %1 settings: ").arg(QLatin1String(file.group));
}
