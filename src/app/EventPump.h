// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Lets waits inside handlers keep the user interface alive. The GUI build runs Qt's event loop;
// tests replace it with a pump that advances a fake clock.
class EventPump
{
public:
    virtual ~EventPump() = default;
    // Handle whatever events are pending, then return.
    virtual void processEvents() = 0;
    // Handle events for up to the given time, sleeping while none arrive (never spins a core).
    virtual void waitForEvents(int milliseconds) = 0;
    // Busy pointer on or off (no-op outside a GUI).
    virtual void setBusyCursor(bool) {}
};

// Runs Qt's event loop (QCoreApplication must exist).
class QtEventPump : public EventPump
{
public:
    void processEvents() override;
    void waitForEvents(int milliseconds) override;
};
