// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/GlobalSettings.h"

#include <QLocale>

class Clock;
class EventPump;
class Dialogs;
class FileIo;

// The services every part of the program reaches the outside world through.
struct Services
{
    Clock& clock;
    EventPump& pump;
    Dialogs& dialogs;
    FileIo& files;
};

// Shared state of the application core: the settings record, its derived strings, the file paths,
// and the run-state flags that the whole-program guards read.
struct AppContext
{
    explicit AppContext(Services s) : services(s) {}
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    Services services;
    GlobalSettings settings;
    QString strGlobalEndOfLine;      // decoded END_OF_LINE_CHARACTERS, set when the advanced file is read
    QString strGlobalFieldDelimiter; // decoded FIELD_DELIMITER, likewise
    FilePaths paths;
    // Dates and decimal separators of data files and screens; tests pin it.
    QLocale locale = QLocale::system();

    bool blnGlobalCameraRunning = false;
    bool blnGlobalTripRunning = false;
    bool blnGlobalLoggingRunning = false;
    bool blnGlobalMarkOn = false;
    bool blnGlobalPulseInProgress = false;
};

// Makes free text safe inside a delimited record line that is never quoted: trimmed, double quotes made single,
// each whole delimiter string and each whole end-of-line string replaced by one space (or, where either holds a
// space, by another stand-in; TextFormat::unquotedField).
QString clean_comment_text(const AppContext& ctx, const QString& text);
