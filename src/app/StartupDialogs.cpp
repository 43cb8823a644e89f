// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StartupDialogs.h"

void StartupDialogs::beginStartup()
{
    m_phase = Phase::Holding;
}

void StartupDialogs::knowUnattended(bool unattended)
{
    m_phase = unattended ? Phase::Unattended : Phase::Through;
    std::vector<Held> held;
    held.swap(m_held);
    for (const Held& h : held)
        message(h.text, Buttons::Ok, h.icon, h.title);
}

void StartupDialogs::endStartup()
{
    knowUnattended(false);
}

Dialogs::Answer StartupDialogs::message(const QString& text, Buttons buttons, Icon icon, const QString& title)
{
    if (buttons != Buttons::Ok || m_phase == Phase::Through)
        return m_shown.message(text, buttons, icon, title);
    if (m_phase == Phase::Holding)
        m_held.push_back({text, icon, title});
    else
        m_shown.notice(text, icon, title);
    return Answer::Ok;
}

void StartupDialogs::notice(const QString& text, Icon icon, const QString& title)
{
    m_shown.notice(text, icon, title);
}
