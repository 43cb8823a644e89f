// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>

// Tells the service manager how the program is doing (sd_notify): ready, still alive, stopping. Does nothing
// when the program was not started as a notifying service.
class ServiceNotifier
{
public:
    ServiceNotifier();

    void ready();
    // Feeds the watchdog. Called from the loops that must keep running (each frame, each logging tick); sends at
    // most four times per watchdog period, and nothing when the service has no watchdog.
    void alive();
    void stopping();

private:
    qint64 m_feedMilliseconds = 0; // 0: no watchdog
    QElapsedTimer m_sinceFed;
};
