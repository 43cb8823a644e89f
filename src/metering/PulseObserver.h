// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

struct MeteringContext;

// Told of each counted revolution, after the counters and the instantaneous figures have moved. Called on
// the user-interface thread from RegisterPulse, so it must return at once.
class PulseObserver
{
public:
    virtual ~PulseObserver() = default;
    virtual void revolutionCounted(const MeteringContext& ctx) = 0;
};
