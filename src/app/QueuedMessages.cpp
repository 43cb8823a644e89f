// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/QueuedMessages.h"

void QueuedMessages::showAll(Dialogs& dialogs, bool wait)
{
    if (m_showing)
        return;
    m_showing = true;
    while (!m_texts.empty()) {
        const QString text = m_texts.front();
        m_texts.pop_front();
        if (wait)
            dialogs.message(text, Dialogs::Buttons::Ok);
        else
            dialogs.notice(text);
    }
    m_showing = false;
}
