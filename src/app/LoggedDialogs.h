// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Dialogs.h"

// The dialogs of a program with no screen: every message is one line in the log (standard error), "<kind>: "
// before it, and every question is answered at once with the answer that loses nothing (No, or Cancel where
// it is offered). File dialogs are cancelled.
class LoggedDialogs : public Dialogs
{
public:
    Answer message(const QString& text, Buttons buttons = Buttons::Ok, Icon icon = Icon::None,
                   const QString& title = QString()) override;
    void notice(const QString& text, Icon icon = Icon::None, const QString& title = QString()) override;
    QString saveFileName(const FileRequest& request) override;
    QString openFileName(const FileRequest& request) override;
};
