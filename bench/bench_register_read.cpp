// SPDX-License-Identifier: GPL-3.0-or-later
// One read of the register at 640 x 480 beside the baseline of rendering that frame of the simulated meter, in
// processor time of the whole process (the recogniser's own threads count too); before the timings, a table of
// how the reads come out over picture sizes, camera angles, a lamp's glare and a blurred lens.
#include "capture/RegisterReader.h"
#include "capture/SimulatedMeter.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>

namespace {
SimulatedMeterSettings registerView(int width, double angle, bool glare, double blur, double kWh)
{
    SimulatedMeterSettings s{.powerWatts = 0.0, .angleDegrees = angle, .registerShown = true, .registerKWh = kWh};
    std::tie(s.registerGlare, s.registerBlur, s.width, s.height) = std::tuple(glare, blur, width, width * 3 / 4);
    return s;
}

void BM_RenderRegisterFrame(benchmark::State& state)
{
    SimulatedMeter meter(registerView(640, 3.0, true, 0.0, 12345.6));
    for (auto _ : state)
        benchmark::DoNotOptimize(meter.render(0.0));
}
BENCHMARK(BM_RenderRegisterFrame)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_ReadRegister(benchmark::State& state)
{
    SimulatedMeter meter(registerView(640, 3.0, true, 0.0, 12345.6));
    const QImage picture = meter.render(0.0);
    RegisterReader reader;
    for (auto _ : state)
        benchmark::DoNotOptimize(reader.read(picture, meter.registerRegion(), 6, 1));
}
BENCHMARK(BM_ReadRegister)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// Readings whose wheels show k, k + 1, ... from the left, each still on its digits, half way on the last wheel and
// nearly through a carry.
void printAccuracyTable()
{
    RegisterReader reader;
    std::printf("%-8s %6s %-11s %6s %15s %10s %6s %12s\n", "size", "angle", "look", "reads", "whole and right",
                "not whole", "wrong", "still whole");
    for (int width : {320, 640})
        for (double angle : {0.0, 3.0, 5.0})
            for (int look = 0; look < 4; ++look) {
                const bool glare = look & 1;
                const double blur = look & 2 ? width / 200.0 : 0.0;
                int reads = 0, right = 0, wrong = 0, still = 0;
                for (int k = 0; k < 10; ++k)
                    for (double rolled : {0.004, 0.5, 0.96}) {
                        double units = 0.0;
                        for (int i = 0; i < 6; ++i)
                            units = units * 10.0 + (k + i) % 10;
                        const double kWh = (units + rolled) / 10.0;
                        SimulatedMeter meter(registerView(width, angle, glare, blur, kWh), std::uint32_t(k + 1));
                        const RegisterRead read = reader.read(meter.render(0.0), meter.registerRegion(), 6, 1);
                        ++reads;
                        if (!read.whole())
                            continue;
                        const bool ok = std::abs(*read.kWh() - kWh) < 0.1;
                        (ok ? right : wrong) += 1;
                        still += ok && rolled < 0.01;
                    }
                const char* looks[] = {"plain", "glare", "blur", "glare+blur"};
                std::printf("%4dx%-3d %6.0f %-11s %6d %15d %10d %6d %9d/10\n", width, width * 3 / 4, angle, looks[look],
                            reads, right, reads - right - wrong, wrong, still);
            }
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    printAccuracyTable();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
