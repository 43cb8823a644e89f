// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ScriptedDialogs.h"

Dialogs::Answer ScriptedDialogs::message(const QString& text, Buttons buttons, Icon icon, const QString& title)
{
    shown.push_back({text, buttons, icon, title});
    if (onMessage)
        onMessage(shown.back());
    if (answers.empty())
        return buttons == Buttons::Ok ? Answer::Ok : Answer::Yes;
    const Answer a = answers.front();
    answers.pop_front();
    return a;
}

QString ScriptedDialogs::saveFileName(const FileRequest& request)
{
    fileRequests.push_back(request);
    if (fileNames.empty())
        return QString();
    const QString name = fileNames.front();
    fileNames.pop_front();
    return name;
}

QString ScriptedDialogs::openFileName(const FileRequest& request)
{
    return saveFileName(request);
}

QStringList ScriptedDialogs::texts() const
{
    QStringList out;
    for (const Shown& s : shown)
        out << s.text;
    return out;
}
