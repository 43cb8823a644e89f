// SPDX-License-Identifier: GPL-3.0-or-later
// Cell analysis of one RGB32 frame over the factory grid with all channels, beside a plain memcpy of the same
// frame (the target: within twice its time) and a naive QImage::pixel loop; then analysis and detection
// together, as frames per second.
#include "BenchServices.h"
#include "app/Clock.h"
#include "app/FileIo.h"
#include "app/GlobalSettings.h"
#include "camera/CellAnalyser.h"
#include "camera/CellValueSource.h"
#include "camera/DetectionGrid.h"
#include "camera/FindMark.h"
#include "camera/MarkDetector.h"
#include "camera/MarkPositions.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"

#include <QImage>
#include <QTime>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

namespace {
QImage noiseFrame(int width, int height)
{
    QImage img(width, height, QImage::Format_RGB32);
    std::mt19937 rng(7);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(int(rng() % 256), int(rng() % 256), int(rng() % 256));
    }
    return img;
}

FrameView viewOf(const QImage& img)
{
    FrameView v;
    v.format = PixelFormat::Bgrx32;
    v.width = img.width();
    v.height = img.height();
    v.planes[0] = img.constBits();
    v.strides[0] = img.bytesPerLine();
    return v;
}

void frameArgs(benchmark::internal::Benchmark* b)
{
    b->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);
}

void BM_Memcpy(benchmark::State& state)
{
    const QImage img = noiseFrame(int(state.range(0)), int(state.range(1)));
    std::vector<uchar> copy(std::size_t(img.sizeInBytes()));
    for (auto _ : state) {
        std::memcpy(copy.data(), img.constBits(), copy.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * img.sizeInBytes());
}
BENCHMARK(BM_Memcpy)->Apply(frameArgs);

void BM_CellAnalysis(benchmark::State& state)
{
    const QImage img = noiseFrame(int(state.range(0)), int(state.range(1)));
    CellAnalyser analyser;
    analyser.setGrid(10, 10);
    const FrameView view = viewOf(img);
    for (auto _ : state) {
        CellTable t = analyser.analyse(view);
        benchmark::DoNotOptimize(t.rgb.data());
    }
    state.SetBytesProcessed(state.iterations() * img.sizeInBytes());
}
BENCHMARK(BM_CellAnalysis)->Apply(frameArgs);

// Cameras mostly deliver NV12 or YUYV: the NV12 planes of a frame of the same size, read as they come.
void BM_CellAnalysisNv12(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    std::vector<uchar> bytes(std::size_t(w) * std::size_t(h) * 3 / 2);
    std::mt19937 rng(3);
    for (uchar& b : bytes)
        b = uchar(rng());
    FrameView v;
    v.format = PixelFormat::Nv12;
    v.width = w;
    v.height = h;
    v.planes[0] = bytes.data();
    v.planes[1] = bytes.data() + std::size_t(w) * std::size_t(h);
    v.strides[0] = v.strides[1] = w;
    CellAnalyser analyser;
    analyser.setGrid(10, 10);
    for (auto _ : state) {
        CellTable t = analyser.analyse(v);
        benchmark::DoNotOptimize(t.rgb.data());
    }
    state.SetBytesProcessed(state.iterations() * qint64(bytes.size()));
}
BENCHMARK(BM_CellAnalysisNv12)->Apply(frameArgs);

// What the analysis replaces: one QImage::pixel call per pixel and a cell lookup per pixel.
void BM_NaivePixelLoop(benchmark::State& state)
{
    const QImage img = noiseFrame(int(state.range(0)), int(state.range(1)));
    const int w = img.width(), h = img.height();
    std::vector<quint64> sums(300);
    for (auto _ : state) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const QRgb p = img.pixel(x, y);
                const std::size_t cell = std::size_t((y * 10 / h) * 10 + x * 10 / w) * 3;
                sums[cell] += quint64(qRed(p));
                sums[cell + 1] += quint64(qGreen(p));
                sums[cell + 2] += quint64(qBlue(p));
            }
        benchmark::DoNotOptimize(sums.data());
    }
    state.SetBytesProcessed(state.iterations() * img.sizeInBytes());
}
BENCHMARK(BM_NaivePixelLoop)->Apply(frameArgs);

// Moves a frame period per reading so that settling ends and the detector does its full work.
class FrameClock : public Clock
{
public:
    double timer() override { return m_seconds += 0.04; }
    QDateTime now() override { return QDateTime(QDate(2009, 1, 15), QTime(9, 0)); }

private:
    double m_seconds = 32400.0;
};

class TableCells : public CellValueSource
{
public:
    int cellValue(int channel, int column, int row) const override { return table.value(channel, column, row); }
    QString currentCellValuesText() const override { return cellValuesText(table, grid, true, true, true); }

    CellTable table;
    DetectionGrid grid = DetectionGrid::fromString(SettingsDefaults::DefaultGrid);
};

// The detector of the camera setup screen on factory settings, fed from a cell table.
struct DetectionRig
{
    FrameClock clock;
    NoPump pump;
    SilentDialogs dialogs;
    DiskFileIo files; // never used: detection writes no file
    MeteringContext ctx{Services{clock, pump, dialogs, files}};
    TableCells cells;
    MarkDetector detector{ctx, cells};

    DetectionRig()
    {
        ctx.settings = SettingsDefaults::factorySettings();
        LoadWorkingMeterValues(ctx);
        detector.reset_mark_detection();
        detector.camera_just_starting();
    }
};

// Each frame: analysis on the capture side, then the frame handler with its cell text and detection.
void BM_AnalysisAndDetection(benchmark::State& state)
{
    const QImage light = noiseFrame(int(state.range(0)), int(state.range(1)));
    QImage dark = light;
    dark.fill(QColor(10, 10, 10));
    DetectionRig rig;
    CellAnalyser analyser;
    analyser.setGrid(10, 10);
    const FrameView views[] = {viewOf(light), viewOf(dark)};
    std::size_t frame = 0;
    for (auto _ : state) {
        // A mark every 25 frames, 3 frames long.
        rig.cells.table = analyser.analyse(views[frame++ % 25 < 3 ? 1 : 0]);
        rig.detector.onFrameAnalysed();
    }
    state.counters["frames_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["pulses"] = rig.ctx.trip.totalPulse;
}
BENCHMARK(BM_AnalysisAndDetection)->Apply(frameArgs);

// The user-interface thread's share of a frame: the frame handler alone, on alternating light and dark tables.
void BM_FrameHandler(benchmark::State& state)
{
    DetectionRig rig;
    CellAnalyser analyser;
    analyser.setGrid(10, 10);
    const QImage light = noiseFrame(64, 48);
    QImage dark = light;
    dark.fill(QColor(10, 10, 10));
    const CellTable tables[] = {analyser.analyse(viewOf(light)), analyser.analyse(viewOf(dark))};
    std::size_t frame = 0;
    for (auto _ : state) {
        rig.cells.table = tables[frame++ % 25 < 3 ? 1 : 0];
        rig.detector.onFrameAnalysed();
    }
    state.counters["pulses"] = rig.ctx.trip.totalPulse;
}
BENCHMARK(BM_FrameHandler)->Unit(benchmark::kMicrosecond);

// What timing revolutions between frames adds per frame: the detector on the same frames with the unrounded
// cell average (crossing times: every frame kept for the next, the crossings found at each mark's leading and
// trailing edges and placed by what the crossings before them taught, the correction between them at each
// mark-on) and without (frame times). The difference between the two, against BM_CellAnalysis of one frame, is its
// cost. With 2, the levels also follow the light, read from every cell of the grid each frame.
void BM_DetectionTiming(benchmark::State& state)
{
    DetectionRig rig;
    const bool crossing = state.range(0) != 0;
    if (state.range(0) == 2) {
        rig.ctx.settings.LEVELS_FOLLOW_LIGHT = true;
        CellAnalyser analyser;
        analyser.setGrid(10, 10);
        const QImage plain = noiseFrame(320, 240);
        rig.cells.table = analyser.analyse(viewOf(plain));
    }
    // A mark every 25 frames: two frames on its way in, two full, one on its way out.
    const double shape[] = {90.0, 40.0, 15.0, 15.0, 70.0};
    std::vector<std::pair<qint32, double>> frames;
    for (int f = 0; f < 25; ++f) {
        const double mean = f < 5 ? shape[f] : 120.0;
        frames.emplace_back(rig.detector.scale_intensity(qint32(std::lround(mean))), mean);
    }
    double time = rig.clock.timer();
    std::size_t frame = 0;
    for (auto _ : state) {
        const auto& [v, mean] = frames[frame++ % frames.size()];
        rig.detector.process_intensity(v, time += 0.04, crossing ? std::optional(mean) : std::nullopt);
    }
    state.counters["pulses"] = rig.ctx.trip.totalPulse;
}
BENCHMARK(BM_DetectionTiming)->ArgName("crossing")->Arg(0)->Arg(1)->Arg(2);

// What timing a fast disc by where its mark lies adds per frame: each frame's columns kept, the mark placed at
// the frame it comes and in the three after it. A mark every 11 frames on 20 columns, its worst case; compare
// with BM_CellAnalysis of one frame.
void BM_MarkPositions(benchmark::State& state)
{
    MarkPositions positions;
    std::vector<std::vector<MarkPositions::Column>> frames(11);
    for (int f = 0; f < 11; ++f)
        for (int c = 0; c < 20; ++c)
            frames[std::size_t(f)].push_back({c, f < 3 && std::abs(c - 7 * f) < 4 ? 40.0 : 200.0 + (c * 7 + f) % 5});
    double time = 0.0;
    std::size_t frame = 0;
    for (auto _ : state) {
        const std::size_t f = frame++ % frames.size();
        positions.frame(time += 0.04, frames[f]);
        if (f == 0)
            benchmark::DoNotOptimize(positions.markCame(true, 0.44, 0.02));
    }
}
BENCHMARK(BM_MarkPositions);

// While Find Mark watches, the capture thread analyses the survey grid as well: both analyses of one frame,
// beside BM_CellAnalysis of the same size. A 30 fps camera leaves 33 ms per frame.
void BM_CellAnalysisWithSurvey(benchmark::State& state)
{
    const QImage img = noiseFrame(int(state.range(0)), int(state.range(1)));
    CellAnalyser analyser, survey;
    analyser.setGrid(10, 10);
    survey.setGrid(FindMark::SurveyColumns, FindMark::SurveyRows);
    const FrameView view = viewOf(img);
    for (auto _ : state) {
        CellTable t = analyser.analyse(view);
        CellTable u = survey.analyse(view);
        benchmark::DoNotOptimize(t.rgb.data());
        benchmark::DoNotOptimize(u.rgb.data());
    }
    state.SetBytesProcessed(state.iterations() * img.sizeInBytes());
}
BENCHMARK(BM_CellAnalysisWithSurvey)->Apply(frameArgs);

// Find Mark's share of the user-interface thread per frame at 30 fps, its look at the passes every half second
// included, with `range(0)` seconds of watching already held and no pass seen (its costliest state: the
// history only grows). Compare with BM_FrameHandler.
void BM_FindMarkPerFrame(benchmark::State& state)
{
    std::vector<CellTable> tables;
    std::mt19937 rng(5);
    for (int i = 0; i < 64; ++i) {
        CellTable t{FindMark::SurveyColumns, FindMark::SurveyRows, {}};
        for (int k = 0; k < FindMark::SurveyColumns * FindMark::SurveyRows * 3; ++k)
            t.rgb.push_back(quint8(118 + rng() % 5));
        tables.push_back(std::move(t));
    }
    FindMark findMark;
    double time = 32400.0;
    const int held = int(state.range(0)) * 30;
    for (int i = 0; i < held; ++i)
        findMark.addFrame(tables[std::size_t(i) % tables.size()], time += 1.0 / 30);
    std::size_t frame = 0;
    for (auto _ : state)
        findMark.addFrame(tables[frame++ % tables.size()], time += 1.0 / 30);
    state.counters["frames_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FindMarkPerFrame)->Arg(10)->Arg(120)->Arg(600)->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();
