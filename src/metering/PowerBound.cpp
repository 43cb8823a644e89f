// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/PowerBound.h"

#include "app/Clock.h"
#include "metering/CameraState.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"
#include "metering/RunCalculations.h"

#include <cmath>

std::optional<PowerBound> PowerBoundAfter(double since, double revsPerKWh, double measuredKW)
{
    if (since <= 0 || revsPerKWh <= 0)
        return std::nullopt;
    // Against the power shown rather than the times, so the cap is never above it after a new meter constant or two
    // revolutions within one clock reading (which keep the old power). A cap on the size: an exported power falls
    // towards 0 from below as an imported one does from above.
    const double kw = 3600.0 / (since * revsPerKWh);
    if (kw >= std::abs(measuredKW))
        return std::nullopt;
    return PowerBound{std::copysign(kw, measuredKW), since};
}

std::optional<double> SecondsSinceTimedPulse(MeteringContext& ctx)
{
    const PulseState& p = ctx.pulse;
    // Nothing is known of the time since a revolution counted before the camera last started watching.
    if (!p.powerMeasured)
        return std::nullopt;
    Clock& clock = ctx.services.clock;
    return ElapsedSeconds(clock.timer(), clock.now(), p.dblGlobalTimeLastPulse, p.lastPulseAt);
}

namespace {
std::optional<PowerBound> boundWhileCounting(MeteringContext& ctx, double revsPerKWh, double measuredKW)
{
    const std::optional<double> since = SecondsSinceTimedPulse(ctx);
    if (!since || !CameraCounting(ctx))
        return std::nullopt;
    return PowerBoundAfter(*since, revsPerKWh, measuredKW);
}
} // namespace

std::optional<PowerBound> ShownPowerBound(MeteringContext& ctx)
{
    return boundWhileCounting(ctx, ctx.pulse.dblGlobalWkgRevsPerKWH, ctx.pulse.dblGlobalInstantKW);
}

std::optional<PowerBound> MeasuredPowerBound(MeteringContext& ctx)
{
    return boundWhileCounting(ctx, ctx.pulse.counted.revsPerKWh, ctx.pulse.measuredKW);
}

QString PowerNowText(MeteringContext& ctx)
{
    const std::optional<PowerBound> bound = ShownPowerBound(ctx);
    if (!bound)
        return {};
    // Always kW: power figures are in kW whatever title labels them. "At most" of a power below 0 is its size.
    const QString text = bound->kw < 0 ? QStringLiteral("Power now: at most %1 kW exported (no revolution for %2 s)")
                                       : QStringLiteral("Power now: at most %1 kW (no revolution for %2 s)");
    return text.arg(RoundedText(std::abs(bound->kw), ctx.settings.POWER_ROUNDING_PLACES, ctx.locale))
        .arg(static_cast<qint64>(std::floor(bound->secondsSincePulse)));
}
