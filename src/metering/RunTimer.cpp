// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/RunTimer.h"

void RunTimer::follow(const RunDisplay& display)
{
    // Setting the interval of a running timer restarts it, which a burst of refreshes must not do.
    if (interval() != display.timerIntervalMilliseconds)
        setInterval(display.timerIntervalMilliseconds);
    if (display.timerEnabled && !isActive())
        start();
    else if (!display.timerEnabled)
        stop();
}
