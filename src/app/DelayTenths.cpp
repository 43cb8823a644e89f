// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DelayTenths.h"

#include "app/Clock.h"
#include "app/EventPump.h"

#include <cmath>
#include <thread>

namespace {
long long tenths(double secondsSinceMidnight)
{
    return static_cast<long long>(std::floor(secondsSinceMidnight * 10.0));
}
} // namespace

void DelayTenths(Clock& clock, EventPump& pump, int n, bool processEvents, bool showHourglass)
{
    if (showHourglass)
        pump.setBusyCursor(true);
    for (int i = 0; i < n; ++i) {
        const long long startDigit = tenths(clock.timer()) % 10;
        for (;;) {
            const double now = clock.timer();
            if (tenths(now) % 10 != startDigit)
                break;
            // Sleep until the next tenth boundary instead of spinning.
            const double nextBoundary = static_cast<double>(tenths(now) + 1) / 10.0;
            const int ms = static_cast<int>(std::ceil((nextBoundary - now) * 1000.0 - 1e-6));
            if (processEvents)
                pump.waitForEvents(ms < 1 ? 1 : ms);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(ms < 1 ? 1 : ms));
        }
    }
    if (showHourglass)
        pump.setBusyCursor(false);
}
