// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>
#include <vector>

class Clock;
class EventPump;
class FileIo;

// Reader of bracketed-section KEY=value files. It keeps the entries of the last file it parsed and answers
// later questions about the same path from them without touching the disk again.
class IniFile
{
public:
    struct Error
    {
        QString source;
        QString description;
    };

    IniFile(FileIo& files, Clock& clock, EventPump& pump);

    // The value of the occurrence-th line named key in section (1-based), "" when there is none; with
    // occurrence 0 the number of such lines as decimal text. Empty optional when the file could not be opened
    // after the given tries or could not be read; lastError() then says why.
    std::optional<QString> iniread(const QString& file, const QString& section, const QString& key, int occurrence,
                                   int tries, int delayTenths, bool caseSensitive);

    const Error& lastError() const { return m_error; }
    // Failed opening attempts of the last parse.
    int attempts() const { return m_attempts; }

private:
    struct Entry
    {
        QString section; // upper-cased
        QString key;     // upper-cased, trailing spaces kept
        QString value;   // as written
        QString rawSection;
        QString rawKey;
    };

    bool parse(const QString& trimmedPath, int tries, int delayTenths);
    bool raise(const char* description);

    FileIo& m_files;
    Clock& m_clock;
    EventPump& m_pump;
    std::vector<Entry> m_entries;
    QString m_source; // trimmed, upper-cased path the entries came from; empty when none
    int m_attempts = 0;
    Error m_error;
};
