// SPDX-License-Identifier: GPL-3.0-or-later
// One 320 x 240 frame of the simulated meter with the mark in view, the camera level and turned: a turned camera
// should cost no more than about twice a level one.
#include "capture/SimulatedMeter.h"

#include <benchmark/benchmark.h>

namespace {
void BM_SimulatedMeterRender(benchmark::State& state)
{
    SimulatedMeter meter({.angleDegrees = double(state.range(0))});
    const double t = meter.markCentreTime(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(meter.render(t));
}
BENCHMARK(BM_SimulatedMeterRender)->ArgName("degrees")->Arg(0)->Arg(30)->Arg(90)->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();
