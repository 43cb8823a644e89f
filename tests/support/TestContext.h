// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/GlobalSettings.h"
#include "metering/MeteringContext.h"
#include "support/FakeClock.h"
#include "support/FaultyFileIo.h"
#include "support/ScriptedDialogs.h"

#include <QFile>
#include <QTemporaryDir>
#include <ctime>
#include <ostream>

// Failed comparisons of texts show the text, not its UTF-16 code units.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

// A fresh program state for one test: fake clock and pump, scripted dialogs, a failure-capable file
// system, factory settings, a UK locale and the file paths inside a temporary folder.
struct TestContext
{
    TestContext();

    FakeClock clock;
    FakePump pump{clock};
    ScriptedDialogs dialogs;
    FaultyFileIo files;
    QTemporaryDir dir;
    MeteringContext ctx{Services{clock, pump, dialogs, files}};

    QString path(const QString& name) const { return dir.filePath(name); }
    // The memory of another program over the same folder and settings, on its own file system: a restart, or a
    // run too long for the failure-capable one's bookkeeping.
    void copySettingsTo(MeteringContext& other) const
    {
        std::tie(other.settings, other.strGlobalEndOfLine, other.strGlobalFieldDelimiter, other.paths, other.locale) =
            std::tie(ctx.settings, ctx.strGlobalEndOfLine, ctx.strGlobalFieldDelimiter, ctx.paths, ctx.locale);
    }
};

// An environment variable (a time zone, a temporary folder) set for a scope, then put back as it was.
struct ScopedEnv
{
    ScopedEnv(const char* name, const char* value)
        : name(name), was(qgetenv(name)), wasSet(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value);
        tzset();
    }
    ~ScopedEnv()
    {
        wasSet ? qputenv(name, was) : qunsetenv(name);
        tzset();
    }
    const char* name;
    QByteArray was;
    bool wasSet;
};

// The whole content of a file, or nothing when it cannot be read.
inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Replaces the file's content; false when it could not be written whole.
inline bool writeFileBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
