// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Dialogs.h"

#include <QStringList>
#include <deque>
#include <functional>

// Records every message and answers from a script (Ok or Yes when the script is empty). Notices, which wait
// for no answer, are recorded apart.
struct ScriptedDialogs : Dialogs
{
    struct Shown
    {
        QString text;
        Buttons buttons;
        Icon icon;
        QString title;
    };

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    void notice(const QString& text, Icon, const QString&) override { notices << text; }
    QString saveFileName(const FileRequest& request) override;
    QString openFileName(const FileRequest& request) override;

    void setNextAnswer(Answer a) { answers.push_back(a); }
    void setNextFileName(const QString& name) { fileNames.push_back(name); }
    QStringList texts() const;

    std::deque<Answer> answers;
    std::deque<QString> fileNames; // "" = the user cancels
    std::vector<Shown> shown;
    QStringList notices;
    std::vector<FileRequest> fileRequests;
    // Runs as each message is shown, to look at the program's state at that moment.
    std::function<void(const Shown&)> onMessage;
};
