// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/IniFile.h"

#include "app/DelayTenths.h"
#include "app/FileIo.h"
#include "app/TextFormat.h"

IniFile::IniFile(FileIo& files, Clock& clock, EventPump& pump) : m_files(files), m_clock(clock), m_pump(pump) {}

std::optional<QString> IniFile::iniread(const QString& file, const QString& section, const QString& key, int occurrence,
                                        int tries, int delayTenths, bool caseSensitive)
{
    const QString trimmedPath = TextFormat::trimSpaces(file);
    if (m_source.isEmpty() || trimmedPath.toUpper() != m_source) {
        if (!parse(trimmedPath, tries, delayTenths))
            return std::nullopt;
    }

    const QString wantedSection = caseSensitive ? section : section.toUpper();
    const QString wantedKey = caseSensitive ? key : key.toUpper();
    int matches = 0;
    for (const Entry& e : m_entries) {
        const QString& s = caseSensitive ? e.rawSection : e.section;
        const QString& k = caseSensitive ? e.rawKey : e.key;
        if (s != wantedSection || k != wantedKey)
            continue;
        ++matches;
        if (occurrence > 0 && matches == occurrence)
            return e.value;
    }
    if (occurrence == 0)
        return QString::number(matches);
    return QString();
}

bool IniFile::raise(const char* description)
{
    m_error = Error{QStringLiteral("iniread"), QString::fromLatin1(description)};
    return false;
}

bool IniFile::parse(const QString& trimmedPath, int tries, int delayTenths)
{
    m_entries.clear();
    m_source.clear();
    if (tries < 0)
        tries = 10;
    else if (tries > 1000)
        tries = 1000;
    if (delayTenths < 0)
        delayTenths = 10;
    else if (delayTenths > 1000)
        delayTenths = 1000;
    m_attempts = 0;

    std::unique_ptr<FileHandle> handle;
    for (;;) {
        handle = m_files.open(trimmedPath, FileIo::Mode::Read);
        if (handle)
            break;
        ++m_attempts;
        if (m_attempts >= tries)
            return raise("Failed to open file");
        DelayTenths(m_clock, m_pump, delayTenths);
    }

    QString currentSection = QStringLiteral("DEFAULT");
    QString currentRawSection = currentSection;
    QByteArray bytes;
    while (handle->readLine(bytes)) {
        QString line = QString::fromLocal8Bit(bytes);
        qsizetype start = 0;
        while (start < line.size() && line[start] == QLatin1Char(' '))
            ++start;
        line.remove(0, start);
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'), 1);
            currentRawSection = close < 0 ? line.mid(1) : line.mid(1, close - 1);
            currentSection = currentRawSection.toUpper();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString rawKey = line.left(equals);
        m_entries.push_back(Entry{currentSection, rawKey.toUpper(), line.mid(equals + 1), currentRawSection, rawKey});
    }
    if (!handle->atEnd()) {
        handle->close();
        // A half-read file must not answer later questions as if it were whole.
        m_entries.clear();
        return raise("Error reading file");
    }
    handle->close();
    m_source = trimmedPath.toUpper();
    return true;
}
