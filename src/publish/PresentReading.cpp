// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/PresentReading.h"

#include "app/Clock.h"
#include "capture/RegisterWatch.h"
#include "metering/CameraState.h"
#include "metering/MeterReadingStore.h"
#include "metering/MeteringContext.h"
#include "metering/PowerBound.h"
#include "metering/PulseSignal.h"
#include "publish/MeterPublisher.h"

namespace {

const RunState* runningRun(const MeteringContext& ctx)
{
    if (ctx.blnGlobalTripRunning)
        return &ctx.trip;
    if (ctx.blnGlobalLoggingRunning)
        return &ctx.logging;
    return nullptr;
}

void addTariffs(MeterReading& r, const MeteringContext& ctx, const MeterReadingStore& reading, qint16 inForce)
{
    if (ctx.settings.TARIFF_COUNT < 2)
        return;
    r.tariff = inForce;
    for (auto [tariff, kWh] : {std::pair(1, &r.meterReadingT1Kwh), std::pair(2, &r.meterReadingT2Kwh)})
        if (reading.reading(tariff).isSet())
            *kWh = reading.reading(tariff).kWh();
}

} // namespace

MeterReading PresentReading(MeteringContext& ctx, const MeterTotals& totals, const MeterReadingStore& reading,
                            const RegisterWatch* watch)
{
    const PulseState& p = ctx.pulse;
    const GlobalSettings& s = ctx.settings;
    const MeterValues inForce = MeterValuesInForce(ctx);
    const CameraState camera = CameraStateOf(ctx);
    // Money goes out in the currency once its code is set, else in the price's own units as the screens show it.
    const double priceUnits = s.CURRENCY_CODE.isEmpty() ? 1.0 : s.PRICE_UNITS_PER_CURRENCY_UNIT;
    MeterReading r;
    r.camera = CameraStateName(camera);
    if (camera == CameraState::Running && p.powerMeasured) {
        const std::optional<PowerBound> bound = MeasuredPowerBound(ctx);
        const double kW = bound ? bound->kw : p.measuredKW;
        r.powerW = kW * 1000.0;
        r.powerIsBound = bound.has_value();
        r.costPerHour = kW * inForce.costPerKWh / priceUnits;
    }
    r.energyKwh = totals.energyKwh;
    r.revolutions = totals.revolutions;
    if (const RunState* run = runningRun(ctx)) {
        r.avgPower5minW = run->avg5minKWH * 1000.0;
        r.avgPower1hW = run->avg1hourKWH * 1000.0;
    }
    r.time = ctx.services.clock.now();
    const std::optional<ReadingTotal> total = reading.total();
    if (total)
        r.meterReadingKwh = total->kWh;
    if (!s.CURRENCY_CODE.isEmpty()) {
        r.price = inForce.costPerKWh / priceUnits;
        if (total)
            r.cost = total->cost / priceUnits;
    }
    if (s.ASSURED_UP_TO_WATTS > 0)
        r.countsUpToW = s.ASSURED_UP_TO_WATTS;
    addTariffs(r, ctx, reading, inForce.tariff);
    if (watch && watch->active()) {
        r.registerSeenKwh = watch->seenKWh();
        r.registerChecked = watch->checkedAt();
    }
    if (s.COUNT_DIRECTION) {
        r.undecidedPasses = p.undecidedPasses;
        if (total)
            std::tie(r.energyImportKwh, r.energyExportKwh) = std::tuple(total->importedKWh, total->exportedKWh);
    }
    return r;
}
