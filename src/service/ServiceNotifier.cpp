// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/ServiceNotifier.h"

#include <systemd/sd-daemon.h>

ServiceNotifier::ServiceNotifier()
{
    uint64_t microseconds = 0;
    if (sd_watchdog_enabled(0, &microseconds) > 0)
        m_feedMilliseconds = qMax<qint64>(1, qint64(microseconds / 4000));
}

void ServiceNotifier::ready()
{
    sd_notify(0, "READY=1");
}

void ServiceNotifier::alive()
{
    if (m_feedMilliseconds == 0 || (m_sinceFed.isValid() && m_sinceFed.elapsed() < m_feedMilliseconds))
        return;
    m_sinceFed.start();
    sd_notify(0, "WATCHDOG=1");
}

void ServiceNotifier::stopping()
{
    sd_notify(0, "STOPPING=1");
}
