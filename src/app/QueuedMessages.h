// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Dialogs.h"

#include <deque>

// Messages raised inside work that must not stop (a timer tick) wait here and are shown after it. A message
// box runs the event loop while it waits for OK, so timer ticks go on meanwhile; messages those ticks raise
// join the queue and follow once the open one is answered, never nesting a second box inside the first.
class QueuedMessages
{
public:
    void post(const QString& text) { m_texts.push_back(text); }
    bool empty() const { return m_texts.empty(); }
    // Shows every waiting message, oldest first; does nothing when called from inside an open one. wait false:
    // as notices, which wait for no one.
    void showAll(Dialogs& dialogs, bool wait = true);

private:
    std::deque<QString> m_texts;
    bool m_showing = false;
};
