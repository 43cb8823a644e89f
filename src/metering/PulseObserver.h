// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

struct MeteringContext;
struct MeterSource;

// Told of each counted revolution and what saw it, after the counters and the instantaneous figures have moved.
// Called on the user-interface thread from RegisterPulse, so it must return at once.
class PulseObserver
{
public:
    virtual ~PulseObserver() = default;
    virtual void revolutionCounted(const MeteringContext& ctx, const MeterSource& source) = 0;
};
