// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/EventPump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void QtEventPump::processEvents()
{
    QCoreApplication::processEvents();
}

void QtEventPump::waitForEvents(int milliseconds)
{
    // A nested loop that sleeps until an event or the deadline arrives.
    QEventLoop loop;
    QTimer::singleShot(milliseconds < 1 ? 1 : milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}
