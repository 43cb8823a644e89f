// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Message boxes and file dialogs as the logic sees them. The GUI implements them with Qt widgets;
// tests script the answers and record the texts.
class Dialogs
{
public:
    enum class Buttons
    {
        Ok,
        YesNo,
        YesNoCancel
    };
    enum class Icon
    {
        None,
        Exclamation,
        Information,
        Question
    };
    enum class Answer
    {
        Ok,
        Yes,
        No,
        Cancel
    };

    struct FileRequest
    {
        QString title;
        QString initialFolder;
        QString fileName;         // suggested name
        QString defaultExtension; // without the dot, added when the user types none
        QString filter;           // one entry, e.g. "Delimited (*.csv)"
    };

    virtual ~Dialogs() = default;
    // An empty title means the application title.
    virtual Answer message(const QString& text, Buttons buttons = Buttons::Ok, Icon icon = Icon::None,
                           const QString& title = QString()) = 0;
    // Shows the text without waiting for anyone to answer it, and writes it to the log: for a program that may
    // be running with no one at the keyboard.
    virtual void notice(const QString& text, Icon icon = Icon::None, const QString& title = QString()) = 0;
    // The chosen full path, or an empty string when the user cancels.
    virtual QString saveFileName(const FileRequest& request) = 0;
    virtual QString openFileName(const FileRequest& request) = 0;
};
