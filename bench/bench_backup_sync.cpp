// SPDX-License-Identifier: GPL-3.0-or-later
// What syncing the disk backup costs: a backup of 1,000 records written with the sync that makes it survive a
// power cut, beside the same backup left in the system's cache, in one run. Two shapes: the whole thousand in
// one backup (the Stop button after a long interval) and one record per backup (a timer backup per record).
#include "BenchServices.h"
#include "app/Clock.h"
#include "app/FileIo.h"
#include "app/GlobalSettings.h"
#include "data/TestDataGenerator.h"
#include "metering/DataFileWriters.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

constexpr qint32 Records = 1'000;

struct Backup
{
    explicit Backup(DiskFileIo::Sync sync) : files(sync)
    {
        ctx.settings = SettingsDefaults::factorySettings();
        ctx.strGlobalEndOfLine = QStringLiteral("\r\n");
        ctx.strGlobalFieldDelimiter = QStringLiteral(",");
        ctx.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
        ctx.varGlobalDataArray = DataArray(Records);
        LoadWorkingMeterValues(ctx);
        if (!FillArray(ctx, {QStringLiteral("5"), QString::number(Records), QStringLiteral("40")}).isEmpty())
            std::abort();
    }

    SystemClock clock;
    NoPump pump;
    SilentDialogs dialogs;
    DiskFileIo files;
    QTemporaryDir dir; // TMPDIR chooses the disk measured
    MeteringContext ctx{Services{clock, pump, dialogs, files}};
};

// range(0): records per backup; range(1): 1 = synced, 0 = left in the cache.
void BM_BackupThousandRecords(benchmark::State& state)
{
    const qint64 perBackup = state.range(0);
    Backup b(state.range(1) ? DiskFileIo::Sync::ToDisk : DiskFileIo::Sync::None);
    const QString file = b.dir.filePath(QStringLiteral("DATASTOR.DTA"));
    for (auto _ : state) {
        for (qint64 first = 1; first <= Records; first += perBackup)
            if (!write_data_file(b.ctx, file, first, first + perBackup - 1, first == 1).isEmpty())
                state.SkipWithError("backup failed");
    }
    state.SetItemsProcessed(state.iterations() * Records);
}

BENCHMARK(BM_BackupThousandRecords)
    ->ArgNames({"perBackup", "synced"})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    readLocalTimeZoneOnce();
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
