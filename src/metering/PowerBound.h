// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

struct MeteringContext;
struct PulseState;

// Less than one revolution in the time since the last one caps the power drawn since then: once the disc
// has gone longer without a revolution than the last one took, that cap lies below the measured power and
// falls until the next revolution measures the power again.
struct PowerBound
{
    double kw = 0.0;
    double secondsSincePulse = 0.0;
};

// The cap at clock time `timer` while it lies below the measured power; none before two revolutions.
std::optional<PowerBound> PowerBoundAt(const PulseState& p, double timer);
// "Power now: at most X kW (no revolution for N s)" while there is a cap now, else empty.
QString PowerNowText(MeteringContext& ctx);
