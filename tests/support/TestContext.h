// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/GlobalSettings.h"
#include "metering/MeteringContext.h"
#include "support/FakeClock.h"
#include "support/FaultyFileIo.h"
#include "support/ScriptedDialogs.h"

#include <QFile>
#include <QTemporaryDir>
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
