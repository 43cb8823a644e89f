// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class Clock;
class EventPump;

// Waits n tenths of a second, counted as changes of the clock's tenths digit, so the first may end at once.
// Events keep being processed while it waits.
void DelayTenths(Clock& clock, EventPump& pump, int n, bool processEvents = true, bool showHourglass = false);
