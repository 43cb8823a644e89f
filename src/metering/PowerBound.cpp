// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/PowerBound.h"

#include "app/Clock.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"
#include "metering/RunCalculations.h"

#include <cmath>

std::optional<PowerBound> PowerBoundAt(const PulseState& p, double timer)
{
    // The previous pulse time is set from the second revolution on; only then was a revolution timed.
    if (p.dblGlobalTimePreviousPulse == -1.0)
        return std::nullopt;
    const double since = SecondsBetween(timer, p.dblGlobalTimeLastPulse);
    if (since <= 0)
        return std::nullopt;
    // Below the measured power exactly once the disc has gone longer without a revolution than the last one took,
    // as long as the meter constant stayed; against the power shown rather than the times, so the cap is never
    // above it after a new meter constant or two revolutions within one clock reading (which keep the old power).
    const double kw = 3600.0 / (since * p.dblGlobalWkgRevsPerKWH);
    if (kw >= p.dblGlobalInstantKW)
        return std::nullopt;
    return PowerBound{kw, since};
}

QString PowerNowText(MeteringContext& ctx)
{
    const std::optional<PowerBound> bound = PowerBoundAt(ctx.pulse, ctx.services.clock.timer());
    if (!bound)
        return {};
    // Always kW: power figures are in kW whatever title labels them.
    return QStringLiteral("Power now: at most %1 kW (no revolution for %2 s)")
        .arg(RoundedText(bound->kw, ctx.settings.POWER_ROUNDING_PLACES, ctx.locale))
        .arg(static_cast<qint64>(std::floor(bound->secondsSincePulse)));
}
