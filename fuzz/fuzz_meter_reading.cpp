// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as METERREADING.DTA (before a first 0xFF byte, the rest as METERREADING.BAK): loading must not
// crash, a reading it recovers is a real number of kWh, and what it leaves on disk loads again whole, with no
// message, to the very same reading.
#include "FuzzServices.h"
#include "metering/MeterReadingStore.h"
#include "metering/MeteringContext.h"

#include <cmath>
#include <cstdint>

namespace {
struct Loaded
{
    QString message;
    MeterRegister reading;
};

Loaded load(MeteringContext& ctx)
{
    MeterReadingStore store(ctx);
    Loaded out{store.load(), store.reading()};
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StepClock clock;
    StepPump pump(clock);
    SilentDialogs dialogs;
    MemoryFileIo files;
    MeteringContext ctx(Services{clock, pump, dialogs, files});
    ctx.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
    ctx.paths = BuildFilePaths(QStringLiteral("/fuzz"));
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = input.indexOf('\xff');
    files.files.insert(QStringLiteral("/fuzz/METERREADING.DTA"), split < 0 ? input : input.first(split));
    if (split >= 0)
        files.files.insert(QStringLiteral("/fuzz/METERREADING.BAK"), input.sliced(split + 1));

    const Loaded first = load(ctx);
    const MeterRegister& r = first.reading;
    if (r.isSet()) {
        check(std::isfinite(r.kWh()) && r.kWh() >= 0 && std::isfinite(r.cost()) && !r.source.isNone());
        check(r.revolutions >= r.runRevolutions && r.checks.size() <= MeterRegister::CheckHistory);
    }
    const Loaded again = load(ctx);
    check(again.message.isEmpty());
    check(again.reading.isSet() == r.isSet() && again.reading.checks == r.checks);
    if (r.isSet())
        check(again.reading.kWh() == r.kWh() && again.reading.cost() == r.cost() &&
              again.reading.revolutions == r.revolutions && again.reading.source == r.source);
    return 0;
}
