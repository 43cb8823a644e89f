// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

struct MeteringContext;

// Less than one revolution in the time since the last one caps the power drawn since then: once the disc has gone
// longer without a revolution than the last one took, that cap lies below the measured power and falls until the
// next revolution measures the power again. It is known only while the camera counts: a stopped, stalled or lost
// camera may miss revolutions, so no cap can be told then.
struct PowerBound
{
    double kw = 0.0; // below 0 while the disc turns backwards
    double secondsSincePulse = 0.0;
};

// The cap `since` seconds after the last revolution at `revsPerKWh`, while it lies below the size of `measuredKW`;
// it has the sign of `measuredKW`, so an exported power's cap is below 0.
std::optional<PowerBound> PowerBoundAfter(double since, double revsPerKWh, double measuredKW);
// Seconds from the last revolution to now; none until a revolution was timed since the camera started watching.
std::optional<double> SecondsSinceTimedPulse(MeteringContext& ctx);
// The cap on the power the run screens show, at the working meter constant; none while the camera does not count.
std::optional<PowerBound> ShownPowerBound(MeteringContext& ctx);
// The cap on the measured power at the meter constant of the last revolution, as published.
std::optional<PowerBound> MeasuredPowerBound(MeteringContext& ctx);
// "Power now: at most X kW (no revolution for N s)" while the shown power has a cap now ("at most X kW exported"
// while it is below 0), else empty.
QString PowerNowText(MeteringContext& ctx);
