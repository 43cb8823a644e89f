// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for. It is read before the application object exists, so that --help, --version
// and a mistake are answered without a display; the display options of every Qt program are passed on to Qt.
struct CommandLine
{
    enum class Action
    {
        Run,
        Help,
        Version,
        Mistake
    };
    // The status of a run that a mistake on the command line, or a missing camera, stops before it begins.
    static constexpr int UsageStatus = 2;

    Action action = Action::Run;
    bool headless = false;
    QString dataFolder;      // absolute; the current folder unless --data-dir names another
    QStringList qtArguments; // the display options, for the application object
    QString mistake;         // with Action::Mistake: what was wrong

    // `arguments` without the program's name.
    static CommandLine parse(const QStringList& arguments);
    static QString usage();
    // Every option the program takes, as the usage writes it.
    static QStringList optionNames();

    // Writes the help, the version or the mistake with the usage; the status to end with.
    int answer() const;
};
