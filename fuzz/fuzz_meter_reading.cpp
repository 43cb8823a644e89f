// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as METERREADING.DTA (before a first 0xFF byte, the rest as METERREADING.BAK): loading must not
// crash, a reading it recovers is a real number of kWh (not below 0 unless the disc's direction is counted), and
// what it leaves on disk loads again whole, with no message, to the very same reading.
#include "FuzzServices.h"
#include "metering/MeterReadingStore.h"
#include "metering/MeteringContext.h"

#include <cmath>
#include <cstdint>

namespace {
struct Loaded
{
    QString message;
    std::array<MeterRegister, MeterReadingJournal::Tariffs> registers;
};

Loaded load(MeteringContext& ctx)
{
    MeterReadingStore store(ctx);
    Loaded out{store.load(), {store.reading(1), store.reading(2)}};
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzServices run;
    MeteringContext ctx(run.services());
    ctx.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
    ctx.paths = BuildFilePaths(QStringLiteral("/fuzz"));
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = input.indexOf('\xff');
    run.files.files.insert(QStringLiteral("/fuzz/METERREADING.DTA"), split < 0 ? input : input.first(split));
    if (split >= 0)
        run.files.files.insert(QStringLiteral("/fuzz/METERREADING.BAK"), input.sliced(split + 1));

    ctx.settings.TARIFF_COUNT = 2;
    const Loaded first = load(ctx);
    const Loaded again = load(ctx);
    check(again.message.isEmpty());
    for (std::size_t i = 0; i < first.registers.size(); ++i) {
        const MeterRegister& r = first.registers[i];
        const MeterRegister& a = again.registers[i];
        if (r.isSet()) {
            check(std::isfinite(r.kWh()) && std::isfinite(r.cost()) && !r.source.isNone());
            check(r.checks.size() <= MeterRegister::CheckHistory);
            // Only a disc whose direction is counted takes revolutions off.
            check(r.flows || (r.kWh() >= 0 && r.revolutions >= r.runRevolutions));
            check(std::isfinite(r.importedKWh()) && r.importedKWh() >= 0 && std::isfinite(r.exportedKWh()) &&
                  r.exportedKWh() >= 0);
            check(a.kWh() == r.kWh() && a.cost() == r.cost() && a.revolutions == r.revolutions && a.source == r.source);
            check(a.importedKWh() == r.importedKWh() && a.exportedKWh() == r.exportedKWh());
        }
        check(a.isSet() == r.isSet() && a.checks == r.checks);
    }
    return 0;
}
