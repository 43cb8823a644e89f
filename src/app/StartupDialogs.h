// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Dialogs.h"

#include <vector>

// The dialogs as the start-up sequence reaches them. Messages with OK alone wait, in order, until the sequence
// has read whether it runs unattended (a start-up option of Unattended Operation on); then they, and every later
// one until start-up ends, are shown as always or, unattended, as notices that wait for no one. Questions and
// file dialogs always go straight through, as does everything outside start-up.
class StartupDialogs : public Dialogs
{
public:
    explicit StartupDialogs(Dialogs& shown) : m_shown(shown) {}

    void beginStartup();
    // Shows what waited.
    void knowUnattended(bool unattended);
    // Shows what still waits as it is shown with no one asked about, and lets everything through again.
    void endStartup();

    Answer message(const QString& text, Buttons buttons = Buttons::Ok, Icon icon = Icon::None,
                   const QString& title = QString()) override;
    void notice(const QString& text, Icon icon = Icon::None, const QString& title = QString()) override;
    QString saveFileName(const FileRequest& request) override { return m_shown.saveFileName(request); }
    QString openFileName(const FileRequest& request) override { return m_shown.openFileName(request); }

private:
    enum class Phase
    {
        Through,
        Holding,
        Unattended
    };
    struct Held
    {
        QString text;
        Icon icon;
        QString title;
    };

    Dialogs& m_shown;
    Phase m_phase = Phase::Through;
    std::vector<Held> m_held;
};
