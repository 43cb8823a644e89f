// SPDX-License-Identifier: GPL-3.0-or-later
// What publishing adds to a revolution on the user-interface thread: RegisterPulse alone (the baseline)
// beside RegisterPulse with the publisher attached, with the broker down (a closed loopback port) and up
// (the Debian broker on loopback). Each revolution comes 1.5 s after the last, so every one makes a state
// message; the "merged" case has revolutions 0.1 s apart, most of which only wait for the next second.
#include "metering/MeterReadingStore.h"
#include "metering/PulseSignal.h"
#include "publish/MqttLibrary.h"
#include "publish/PublishService.h"
#include "support/MosquittoBroker.h"
#include "support/ReservedPort.h"
#include "support/TestContext.h"

#include <QCoreApplication>
#include <QThread>
#include <benchmark/benchmark.h>

namespace {

enum Broker
{
    None,
    Down,
    Up
};

void BM_Revolution(benchmark::State& state)
{
    const auto broker = Broker(state.range(0));
    const double secondsApart = state.range(1) / 10.0;
    MosquittoBroker mosquitto;
    if (broker == Up && !mosquitto.start()) {
        state.SkipWithError("the broker did not start");
        return;
    }
    const ReservedPort nothingListens;
    TestContext t;
    MeterReadingStore reading(t.ctx);
    MqttLibrary mqtt;
    t.ctx.settings.PUBLISH_MQTT = broker != None;
    t.ctx.settings.MQTT_HOST = QStringLiteral("127.0.0.1");
    t.ctx.settings.MQTT_PORT = broker == Up ? mosquitto.port() : nothingListens.port();
    PublishService service(t.ctx, reading);
    service.applySettings();
    if (broker == Up) {
        for (int i = 0; i < 100 && !service.statusText().startsWith(QLatin1String("Connected")); ++i)
            QThread::msleep(50);
    }
    for (auto _ : state) {
        t.clock.advance(secondsApart);
        RegisterPulse(t.ctx, 0);
        if (service.publisher())
            service.publisher()->tick();
    }
    state.counters["states"] = double(service.publisher() ? service.publisher()->statesSent() : 0);
    state.SetLabel(service.statusText().section(QLatin1Char(':'), 0, 0).toStdString());
}
BENCHMARK(BM_Revolution)
    ->ArgNames({"broker", "tenths_apart"})
    ->Args({None, 15})
    ->Args({Down, 15})
    ->Args({Up, 15})
    ->Args({Up, 1})
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
