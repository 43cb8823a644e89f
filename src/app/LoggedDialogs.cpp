// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LoggedDialogs.h"

#include <QDebug>

namespace {
QString kind(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Exclamation:
        return QStringLiteral("warning");
    case Dialogs::Icon::Information:
        return QStringLiteral("information");
    case Dialogs::Icon::Question:
        return QStringLiteral("question");
    case Dialogs::Icon::None:
        break;
    }
    return QStringLiteral("message");
}

void log(const QString& line)
{
    // simplified(): the texts break their lines for a message box; the log keeps one line each.
    qInfo().noquote() << line.simplified();
}
} // namespace

Dialogs::Answer LoggedDialogs::message(const QString& text, Buttons buttons, Icon icon, const QString&)
{
    if (buttons == Buttons::Ok) {
        log(kind(icon) + QStringLiteral(": ") + text);
        return Answer::Ok;
    }
    const bool cancel = buttons == Buttons::YesNoCancel;
    log(QStringLiteral("question: ") + text + (cancel ? QStringLiteral(" [Cancel]") : QStringLiteral(" [No]")));
    return cancel ? Answer::Cancel : Answer::No;
}

void LoggedDialogs::notice(const QString& text, Icon icon, const QString& title)
{
    message(text, Buttons::Ok, icon, title);
}

QString LoggedDialogs::saveFileName(const FileRequest& request)
{
    log(QStringLiteral("question: ") + request.title + QStringLiteral(" [Cancel]"));
    return QString();
}

QString LoggedDialogs::openFileName(const FileRequest& request)
{
    return saveFileName(request);
}
