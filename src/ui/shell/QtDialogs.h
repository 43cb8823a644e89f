// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Dialogs.h"

#include <QPointer>
#include <QWidget>

// Message boxes and file dialogs shown with Qt widgets, centred on the main window once it is visible.
class QtDialogs : public Dialogs
{
public:
    void setParentWidget(QWidget* parent) { m_parent = parent; }

    Answer message(const QString& text, Buttons buttons = Buttons::Ok, Icon icon = Icon::None,
                   const QString& title = QString()) override;
    // A message box that does not block, closed by OK; the log is standard error.
    void notice(const QString& text, Icon icon = Icon::None, const QString& title = QString()) override;
    QString saveFileName(const FileRequest& request) override;
    QString openFileName(const FileRequest& request) override;

private:
    QWidget* parentWidget() const;
    QString fileName(const FileRequest& request, bool save) const;

    QPointer<QWidget> m_parent;
};
