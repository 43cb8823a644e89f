// SPDX-License-Identifier: GPL-3.0-or-later
// What the meter reading adds to a revolution on the user-interface thread: RegisterPulse alone (the baseline)
// beside RegisterPulse with a set reading kept in METERREADING.DTA on the real disk. Revolutions 1.5 s apart
// (2.4 kW at 1000 revolutions per kWh) make the disk write every seventh one; 0.01 s apart shows the append
// alone, with a write to the disk every thousandth.
#include "metering/MeterReadingStore.h"
#include "metering/PulseSignal.h"
#include "support/TestContext.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace {

void BM_Revolution(benchmark::State& state)
{
    const bool keepsReading = state.range(0) != 0;
    const double secondsApart = state.range(1) / 100.0;
    const MeterSource meter{MeterSource::Kind::Camera, QStringLiteral("Hall camera")};
    TestContext t;
    t.ctx.settings.REVS_PER_KWH = 1000;
    t.ctx.settings.COST_PER_KWH = 30;
    std::optional<MeterReadingStore> reading;
    if (keepsReading) {
        reading.emplace(t.ctx);
        reading->load();
        reading->setReading(12345.6, meter);
    }
    for (auto _ : state) {
        t.clock.advance(secondsApart);
        RegisterPulse(t.ctx, 0, t.clock.timer(), meter);
    }
    if (reading)
        state.counters["kWh"] = reading->reading().kWh();
}
BENCHMARK(BM_Revolution)
    ->ArgNames({"reading", "hundredths_apart"})
    ->Args({0, 150})
    ->Args({1, 150})
    ->Args({1, 1})
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
