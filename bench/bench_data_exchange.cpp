// SPDX-License-Identifier: GPL-3.0-or-later
// Export, disk backup, import and the history graph of a million records, each beside a plain baseline doing
// the same amount of text work in the same run: snprintf + fwrite for the export and the backup, fgets +
// strtod for the import, one bare pass over the records for the graph series.
#include "BenchServices.h"
#include "app/Clock.h"
#include "app/Dialogs.h"
#include "app/EventPump.h"
#include "app/FileIo.h"
#include "app/GlobalSettings.h"
#include "data/DataExport.h"
#include "data/DataImport.h"
#include "data/GraphSeries.h"
#include "data/TestDataGenerator.h"
#include "metering/DataFileWriters.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"
#include "ui/data/GraphPainter.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <qcustomplot.h>

namespace {

constexpr qint32 Records = 1'000'000;

// A context holding a million generated records (five-minute intervals) and a folder for the files.
struct Fixture
{
    SystemClock clock;
    NoPump pump;
    SilentDialogs dialogs;
    DiskFileIo files;
    QTemporaryDir dir;
    MeteringContext ctx{Services{clock, pump, dialogs, files}};
    QString exportFile = dir.filePath(QStringLiteral("export.csv"));

    Fixture()
    {
        ctx.settings = SettingsDefaults::factorySettings();
        ctx.strGlobalEndOfLine = QStringLiteral("\r\n");
        ctx.strGlobalFieldDelimiter = QStringLiteral(",");
        ctx.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
        ctx.varGlobalDataArray = DataArray(Records);
        LoadWorkingMeterValues(ctx);
        const QString error =
            FillArray(ctx, {QStringLiteral("5"), QString::number(Records), QStringLiteral("40")}, nullptr);
        if (!error.isEmpty() || !write_export_file(ctx, exportFile).isEmpty())
            std::abort();
    }

    static Fixture& get()
    {
        static Fixture fixture;
        return fixture;
    }
};

void BM_ExportRecords(benchmark::State& state)
{
    Fixture& f = Fixture::get();
    const QString file = f.dir.filePath(QStringLiteral("bench-export.csv"));
    for (auto _ : state)
        if (!write_export_file(f.ctx, file).isEmpty())
            state.SkipWithError("export failed");
    state.SetItemsProcessed(state.iterations() * Records);
    state.SetBytesProcessed(state.iterations() * f.files.size(file));
}

// The logging run's backup of a whole data set in one step: write_data_file, as the Stop button runs it.
void BM_BackupRecords(benchmark::State& state)
{
    Fixture& f = Fixture::get();
    const QString file = f.dir.filePath(QStringLiteral("DATASTOR.DTA"));
    for (auto _ : state)
        if (!write_data_file(f.ctx, file, 1, Records, true).isEmpty())
            state.SkipWithError("backup failed");
    state.SetItemsProcessed(state.iterations() * Records);
    state.SetBytesProcessed(state.iterations() * f.files.size(file));
}

void BM_ExportBaselineSnprintf(benchmark::State& state)
{
    Fixture& f = Fixture::get();
    const QByteArray file = f.dir.filePath(QStringLiteral("baseline.csv")).toLocal8Bit();
    const DataArray& data = f.ctx.varGlobalDataArray;
    char line[512];
    for (auto _ : state) {
        FILE* out = std::fopen(file.constData(), "wb");
        for (qint32 r = 1; r <= Records; ++r) {
            const LogRecord& x = data.row(r);
            const int n = std::snprintf(
                line, sizeof line,
                "%02d/%02d/%04d "
                "%02d:%02d:%02d,%d,%d,%d,%d,%d,%d,%d,%.15G,%.15G,%d,%d,%.15G,%.15G,%.15G,%.15G,%.15G,%.15G,%d,%d,\r\n",
                x.Day, x.Month, x.Year, x.Hour, x.Min, x.Sec, x.Year, x.Month, x.Day, x.Hour, x.Min, x.Sec,
                x.PulsesThisInterval, x.TotalEnergy, x.TotalCost, x.LoggingSeconds, x.LoggingTotalPulse,
                x.EnergyThisInterval, x.CostThisInterval, x.AvgPowerThisInterval, x.AvgCostPerHourThisInterval,
                x.REVSperEnergyUnit, x.CostPerEnergyUnit, x.TarrifNumber, x.LightLevel);
            std::fwrite(line, 1, static_cast<size_t>(n), out);
        }
        std::fclose(out);
    }
    state.SetItemsProcessed(state.iterations() * Records);
}

void BM_ImportRecords(benchmark::State& state)
{
    Fixture& f = Fixture::get();
    for (auto _ : state)
        if (!read_data_file(f.ctx, f.exportFile).isEmpty() || f.ctx.varGlobalDataArray.pointer() != Records + 1)
            state.SkipWithError("import failed");
    state.SetItemsProcessed(state.iterations() * Records);
    state.SetBytesProcessed(state.iterations() * f.files.size(f.exportFile));
}

void BM_ImportBaselineStrtod(benchmark::State& state)
{
    Fixture& f = Fixture::get();
    const QByteArray file = f.exportFile.toLocal8Bit();
    char line[1024];
    for (auto _ : state) {
        FILE* in = std::fopen(file.constData(), "rb");
        double sum = 0;
        std::fgets(line, sizeof line, in); // header
        while (std::fgets(line, sizeof line, in)) {
            char* p = std::strchr(line, ','); // the date is not a number
            for (int field = 2; p && field <= 20; ++field) {
                char* end = nullptr;
                sum += std::strtod(p + 1, &end);
                p = std::strchr(end, ',');
            }
        }
        std::fclose(in);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * Records);
}

void BM_GraphSeries(benchmark::State& state)
{
    Fixture& f = Fixture::get();
    const std::vector<GraphType> types = graphTypes(f.ctx.settings);
    const GraphType& type = types[static_cast<size_t>(state.range(0))];
    for (auto _ : state) {
        GraphSeries series = CalculateGraph(f.ctx.varGlobalDataArray, Records, type, 1);
        benchmark::DoNotOptimize(series.values.data());
    }
    state.SetItemsProcessed(state.iterations() * Records);
}

void BM_GraphBaselinePass(benchmark::State& state)
{
    Fixture& f = Fixture::get();
    const DataArray& data = f.ctx.varGlobalDataArray;
    for (auto _ : state) {
        double sum = 0;
        for (qint32 r = 1; r <= Records; ++r)
            sum += data.row(r).AvgPowerThisInterval;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * Records);
}

// setData + replot of the whole series, as "Calculate Graph" does after the series is computed.
void BM_GraphDrawMillionPoints(benchmark::State& state)
{
    Fixture& f = Fixture::get();
    const GraphSeries series = CalculateGraph(f.ctx.varGlobalDataArray, Records, graphTypes(f.ctx.settings).front(), 1);
    QCustomPlot plot;
    plot.resize(900, 560);
    const GraphPainter painter(f.ctx.locale);
    for (auto _ : state)
        painter.draw(plot, series);
    state.SetItemsProcessed(state.iterations() * Records);
}

// The replot alone, the cost of every zoom and pan.
void BM_GraphReplotMillionPoints(benchmark::State& state)
{
    Fixture& f = Fixture::get();
    const GraphSeries series = CalculateGraph(f.ctx.varGlobalDataArray, Records, graphTypes(f.ctx.settings).front(), 1);
    QCustomPlot plot;
    plot.resize(900, 560);
    GraphPainter(f.ctx.locale).draw(plot, series);
    for (auto _ : state)
        plot.replot();
    state.SetItemsProcessed(state.iterations() * Records);
}

BENCHMARK(BM_ExportRecords)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ExportBaselineSnprintf)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_BackupRecords)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ImportRecords)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ImportBaselineStrtod)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_GraphSeries)->Arg(0)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GraphBaselinePass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GraphDrawMillionPoints)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_GraphReplotMillionPoints)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    readLocalTimeZoneOnce(); // as the program does at start
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
