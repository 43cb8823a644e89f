// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/GlobalSettings.h"
#include "metering/MeteringContext.h"
#include "support/FakeClock.h"
#include "support/FaultyFileIo.h"
#include "support/ScriptedDialogs.h"

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
