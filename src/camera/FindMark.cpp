// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/FindMark.h"

#include "app/GlobalSettings.h"
#include "app/TextFormat.h"
#include "camera/MarkDetector.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {
constexpr double BinWidth = 0.057762265046662105; // ln 2 / 12: a twelfth of an octave of light
constexpr int ActiveBins = 5;                     // about a third off the plain level
constexpr double MinGreyChange = 10.0;            // and at least this, so noise in dark cells stays plain
constexpr int NoiseMultiple = 5;
constexpr int ActiveCellsPerFrame = 2;   // one noisy cell alone makes no pass (its channels share its noise)
constexpr double AnalysisInterval = 0.5; // seconds of watching between two looks at the passes
constexpr double MinWatch = 3.0;         // before that the plain levels rest on too few frames
constexpr std::size_t MaxFrames = 18000; // ten minutes at 30 frames per second
constexpr double MinSeparation = 1.25;   // weakest mark peak over the highest plain-disc intensity
constexpr double NearlyAsClear = 0.75;   // on a log scale of the separation
constexpr double PlainIntensity = 1000.0;
constexpr double DebounceFloor = 0.1; // seconds
constexpr double DriftForTracking = 0.08;
constexpr double DriftWindow = 2.0; // seconds

const std::array<float, 256>& logTable()
{
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[std::size_t(i)] = float(std::log(i + 1.0));
        return t;
    }();
    return table;
}

template <typename T> T median(std::vector<T> v)
{
    if (v.empty())
        return T{};
    const auto mid = v.begin() + std::ptrdiff_t(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

qint32 rounded(double x)
{
    return qint32(TextFormat::roundHalfEven(x));
}
} // namespace

QString FindMarkProposal::marginsText() const
{
    if (triggerLevel <= 0)
        return QString();
    const double above = 100.0 * (markPeak - triggerLevel) / triggerLevel;
    const double below = 100.0 * (triggerLevel - plainHigh) / triggerLevel;
    return QStringLiteral("mark peaks %1 % above the trigger; plain disc %2 % below")
        .arg(rounded(above))
        .arg(rounded(below));
}

void FindMarkProposal::applyTo(GlobalSettings& s) const
{
    if (!valid)
        return;
    s.DETECTION_GRID = grid;
    s.DETECT_RED = red;
    s.DETECT_GREEN = green;
    s.DETECT_BLUE = blue;
    s.INVERT_IMAGE_INTENSITY = invert;
    s.REDUCE_VIDEO_NOISE = reduceNoise;
    s.IMAGE_INTENSITY_FACTOR = intensityFactor;
    s.TRIGGER_LEVEL = triggerLevel;
    s.DEBOUNCE_TIME = debounceMs;
    s.TRACK_AMBIENT_LIGHT_CHANGE = trackAmbient;
    s.PERCENT_AMBIENT_LIGHT_TO_TRACK = trackPercent;
}

qint32 FindMarkProposal::intensityOf(const CellTable& survey) const
{
    QList<GridCell> cells;
    parse_grid_string(grid, cells);
    const std::array<bool, 3> use{red, green, blue};
    qint64 sum = 0;
    int samples = 0;
    for (const GridCell& c : cells)
        for (int ch = 0; ch < 3; ++ch)
            if (use[std::size_t(ch)]) {
                sum += survey.value(ch, c.column, c.row);
                ++samples;
            }
    return samples == 0 ? 0 : scaledIntensity(intensityFactor, invert, rounded(double(sum) / samples));
}

FindMark::FindMark() : m_hist(std::size_t(Values) * Bins, 0), m_smoothed(std::size_t(Values) * Bins, 0) {}

void FindMark::reset(bool reduceNoise)
{
    *this = FindMark();
    m_reduceNoise = reduceNoise;
}

int FindMark::binOf(int frame, int k) const
{
    return m_bins[std::size_t(frame) * Values + std::size_t(k)];
}

void FindMark::addFrame(const CellTable& survey, double time)
{
    if (survey.columns != SurveyColumns || survey.rows != SurveyRows || finished())
        return;
    const auto& L = logTable();
    if (m_times.empty()) {
        for (int k = 0; k < Values; ++k)
            m_logRef[std::size_t(k)] = L[survey.rgb[std::size_t(k)]];
        m_elapsed = 0.0;
    } else {
        double d = time - m_lastClock;
        if (d < -43200.0)
            d += 86400.0; // midnight
        m_elapsed += std::max(d, 0.0);
    }
    m_lastClock = time;

    // The light all cells share: the median of the cells' change since the first frame.
    std::array<float, Cells> change{};
    for (int c = 0; c < Cells; ++c) {
        float sum = 0.0f;
        for (int ch = 0; ch < 3; ++ch) {
            const std::size_t k = std::size_t(c) * 3 + std::size_t(ch);
            sum += L[survey.rgb[k]] - m_logRef[k];
        }
        change[std::size_t(c)] = sum / 3.0f;
    }
    std::nth_element(change.begin(), change.begin() + Cells / 2, change.end());
    m_common.push_back(change[Cells / 2]);
    m_times.push_back(m_elapsed);
    m_values.insert(m_values.end(), survey.rgb.begin(), survey.rgb.begin() + Values);
    // Each value against its first-frame level with the common light divided out, in twelfths of an octave.
    const float common = m_common.back();
    for (int k = 0; k < Values; ++k) {
        const float x = (L[survey.rgb[std::size_t(k)]] - m_logRef[std::size_t(k)] - common) / float(BinWidth);
        const int bin = std::clamp(int(std::lround(x)) + Bins / 2, 0, Bins - 1);
        m_bins.push_back(quint8(bin));
        count(k, bin, 1);
    }
    if (m_times.size() > MaxFrames)
        dropOldest(int(MaxFrames / 10));
    if (m_elapsed >= std::max(m_nextAnalysis, MinWatch)) {
        m_nextAnalysis = m_elapsed + AnalysisInterval;
        analyse();
    }
}

void FindMark::count(int k, int bin, int add)
{
    // The plain level is the peak of the histogram smoothed over a few bins: a raw histogram of a noisy cell
    // has many near-equal bins, and its tallest one wanders.
    quint32* h = &m_hist[std::size_t(k) * Bins];
    quint32* w = &m_smoothed[std::size_t(k) * Bins];
    h[bin] += quint32(add);
    for (int j = std::max(bin - ModeRadius, 0); j <= std::min(bin + ModeRadius, Bins - 1); ++j) {
        w[j] += quint32(add);
        if (add > 0 && w[j] > w[m_mode[std::size_t(k)]])
            m_mode[std::size_t(k)] = quint8(j);
    }
}

void FindMark::dropOldest(int frames)
{
    for (int f = 0; f < frames; ++f)
        for (int k = 0; k < Values; ++k)
            count(k, binOf(f, k), -1);
    m_values.erase(m_values.begin(), m_values.begin() + std::ptrdiff_t(frames) * Values);
    m_bins.erase(m_bins.begin(), m_bins.begin() + std::ptrdiff_t(frames) * Values);
    m_times.erase(m_times.begin(), m_times.begin() + frames);
    m_common.erase(m_common.begin(), m_common.begin() + frames);
    for (int k = 0; k < Values; ++k) {
        const quint32* w = &m_smoothed[std::size_t(k) * Bins];
        m_mode[std::size_t(k)] = quint8(std::max_element(w, w + Bins) - w);
    }
    m_completeAtLastProposal = -1;
}

std::vector<FindMark::Pass> FindMark::findPasses(std::vector<int>& threshold) const
{
    const int frames = int(m_times.size());
    std::vector<Pass> passes;
    if (frames < 3)
        return passes;
    threshold.assign(Values, ActiveBins);
    for (int k = 0; k < Values; ++k) {
        const int mode = m_mode[std::size_t(k)];
        const double plain = std::exp(m_logRef[std::size_t(k)] + (mode - Bins / 2) * BinWidth);
        // The value's own noise: the half-width around its plain level that holds two thirds of its frames.
        const quint32* h = &m_hist[std::size_t(k) * Bins];
        quint32 held = h[mode];
        int spread = 0;
        while (3 * held < 2 * quint32(frames) && spread < Bins) {
            ++spread;
            held += (mode - spread >= 0 ? h[mode - spread] : 0) + (mode + spread < Bins ? h[mode + spread] : 0);
        }
        threshold[std::size_t(k)] =
            std::max({ActiveBins, NoiseMultiple * spread,
                      int(std::ceil(std::log1p(MinGreyChange / std::max(plain, 1.0)) / BinWidth))});
    }
    std::vector<bool> active(std::size_t(frames), false);
    for (int f = 0; f < frames; ++f) {
        int count = 0;
        for (int c = 0; c < Cells && count < ActiveCellsPerFrame; ++c)
            for (int k = c * 3; k < c * 3 + 3; ++k)
                if (std::abs(binOf(f, k) - m_mode[std::size_t(k)]) >= threshold[std::size_t(k)]) {
                    ++count;
                    break;
                }
        active[std::size_t(f)] = count >= ActiveCellsPerFrame;
    }
    std::vector<double> steps(std::size_t(frames - 1));
    for (int f = 1; f < frames; ++f)
        steps[std::size_t(f - 1)] = m_times[std::size_t(f)] - m_times[std::size_t(f - 1)];
    // Dips inside one pass shorter than this join it up; gaps between passes are longer.
    const double joinGap = std::max(2.5 * median(steps), 0.12);
    for (int f = 0; f < frames; ++f) {
        if (!active[std::size_t(f)])
            continue;
        if (!passes.empty() && m_times[std::size_t(f)] - m_times[std::size_t(passes.back().last)] <= joinGap)
            passes.back().last = f;
        else
            passes.push_back({f, f, false});
    }
    for (Pass& p : passes)
        p.complete = p.first > 0 && m_times.back() - m_times[std::size_t(p.last)] > joinGap;
    return passes;
}

void FindMark::analyse()
{
    std::vector<int> threshold;
    const std::vector<Pass> passes = findPasses(threshold);
    const int complete = int(std::count_if(passes.begin(), passes.end(), [](const Pass& p) { return p.complete; }));
    m_passesSeen = complete;
    // A proposal that failed is tried again only once another pass has come.
    if (complete >= PassesNeeded && complete != m_completeAtLastProposal) {
        m_completeAtLastProposal = complete;
        propose(passes, threshold);
    }
}

void FindMark::propose(const std::vector<Pass>& passes, const std::vector<int>& threshold)
{
    const int frames = int(m_times.size());
    std::vector<Pass> complete;
    for (const Pass& p : passes)
        if (p.complete)
            complete.push_back({std::max(p.first - 1, 0), std::min(p.last + 1, frames - 1), true});

    // The most extreme change of every value in every pass, and where in the pass it came.
    const std::size_t np = complete.size();
    std::vector<int> extreme(np * Values, 0);
    long long direction = 0;
    for (std::size_t p = 0; p < np; ++p)
        for (int f = complete[p].first; f <= complete[p].last; ++f)
            for (int k = 0; k < Values; ++k) {
                const int d = binOf(f, k) - m_mode[std::size_t(k)];
                int& e = extreme[p * Values + std::size_t(k)];
                if (std::abs(d) > std::abs(e))
                    e = d;
            }
    for (std::size_t i = 0; i < extreme.size(); ++i)
        if (std::abs(extreme[i]) >= threshold[i % Values])
            direction += extreme[i];
    const int dir = direction > 0 ? 1 : -1; // a light mark brightens the cells it passes

    // Cells the mark changes in every pass, at least half as strongly as the cell it changes most.
    std::array<int, Cells> strength{};
    for (int c = 0; c < Cells; ++c) {
        int weakest = std::numeric_limits<int>::max();
        for (std::size_t p = 0; p < np; ++p) {
            int best = 0;
            for (int ch = 0; ch < 3; ++ch)
                best = std::max(best, dir * extreme[p * Values + std::size_t(c * 3 + ch)]);
            weakest = std::min(weakest, best);
        }
        strength[std::size_t(c)] = weakest;
    }
    const int strongest = *std::max_element(strength.begin(), strength.end());
    std::vector<int> markCells;
    for (int c = 0; c < Cells; ++c)
        if (strength[std::size_t(c)] >= std::max(ActiveBins, (strongest + 1) / 2))
            markCells.push_back(c);
    m_proposal = FindMarkProposal{};
    m_proposal.passes = int(np);
    if (markCells.empty())
        return;

    // Channels the mark changes: a red mark leaves red nearly as it is.
    std::array<double, 3> channelStrength{};
    for (int ch = 0; ch < 3; ++ch) {
        for (int c : markCells) {
            int weakest = std::numeric_limits<int>::max();
            for (std::size_t p = 0; p < np; ++p)
                weakest = std::min(weakest, dir * extreme[p * Values + std::size_t(c * 3 + ch)]);
            channelStrength[std::size_t(ch)] += weakest;
        }
    }
    const double bestChannel = *std::max_element(channelStrength.begin(), channelStrength.end());
    std::array<bool, 3> useChannel{};
    int channels = 0;
    for (int ch = 0; ch < 3; ++ch)
        channels += (useChannel[std::size_t(ch)] = channelStrength[std::size_t(ch)] >= bestChannel / 2) ? 1 : 0;

    // Per frame and mark cell, the sum of the used channels: the detector's average is made of these.
    const std::size_t nc = markCells.size();
    std::vector<int> cellSum(std::size_t(frames) * nc);
    for (int f = 0; f < frames; ++f)
        for (std::size_t i = 0; i < nc; ++i) {
            int sum = 0;
            for (int ch = 0; ch < 3; ++ch)
                if (useChannel[std::size_t(ch)])
                    sum += m_values[std::size_t(f) * Values + std::size_t(markCells[i] * 3 + ch)];
            cellSum[std::size_t(f) * nc + i] = sum;
        }

    // Where on its path the mark reaches each cell, 0 at the start of the first pass, 1 at its end.
    const Pass& first = complete.front();
    std::vector<std::pair<double, int>> phase; // (phase, index into markCells)
    for (std::size_t i = 0; i < nc; ++i) {
        int bestFrame = first.first;
        int bestDev = std::numeric_limits<int>::min();
        for (int f = first.first; f <= first.last; ++f) {
            int dev = 0;
            for (int ch = 0; ch < 3; ++ch)
                if (useChannel[std::size_t(ch)]) {
                    const int k = markCells[i] * 3 + ch;
                    dev += dir * (binOf(f, k) - m_mode[std::size_t(k)]);
                }
            if (dev > bestDev) {
                bestDev = dev;
                bestFrame = f;
            }
        }
        const double span = m_times[std::size_t(first.last)] - m_times[std::size_t(first.first)];
        phase.push_back(
            {span > 0 ? (m_times[std::size_t(bestFrame)] - m_times[std::size_t(first.first)]) / span : 0.5, int(i)});
    }
    std::sort(phase.begin(), phase.end());

    // Plain-disc frames: away from every pass, complete or not.
    std::vector<bool> plain(std::size_t(frames), true);
    for (const Pass& p : passes)
        for (int f = std::max(p.first - 2, 0); f <= std::min(p.last + 2, frames - 1); ++f)
            plain[std::size_t(f)] = false;

    struct Candidate
    {
        std::vector<int> cells; // indexes into markCells
        qint32 factor = 0, trigger = 0, plainLevel = 0, plainHigh = 0, minPeak = 0;
        double separation = 0.0, meanPeak = 0.0;
        int minAbove = 0;
        std::vector<qint32> intensity;
    };
    auto evaluate = [&](Candidate& cand) {
        const int samples = int(cand.cells.size()) * channels;
        std::vector<qint32> average(static_cast<std::size_t>(frames));
        std::vector<qint32> plainAverages;
        for (int f = 0; f < frames; ++f) {
            long long sum = 0;
            for (int i : cand.cells)
                sum += cellSum[std::size_t(f) * nc + std::size_t(i)];
            average[std::size_t(f)] = rounded(double(sum) / samples);
            if (plain[std::size_t(f)])
                plainAverages.push_back(average[std::size_t(f)]);
        }
        if (plainAverages.empty())
            return;
        const double plainAverage = median(plainAverages);
        const bool invert = dir > 0;
        cand.factor = invert ? std::clamp(rounded(PlainIntensity / std::max(plainAverage, 1.0)), 1, 1000000)
                             : std::clamp(rounded(PlainIntensity * (plainAverage + 1.0)), 1, 1000000);
        cand.intensity.resize(std::size_t(frames));
        std::vector<qint32> plainIntensities;
        for (int f = 0; f < frames; ++f) {
            cand.intensity[std::size_t(f)] = scaledIntensity(cand.factor, invert, average[std::size_t(f)]);
            if (plain[std::size_t(f)]) {
                plainIntensities.push_back(cand.intensity[std::size_t(f)]);
                cand.plainHigh = std::max(cand.plainHigh, cand.intensity[std::size_t(f)]);
            }
        }
        cand.plainLevel = median(plainIntensities);
        cand.minPeak = std::numeric_limits<qint32>::max();
        for (const Pass& p : complete) {
            const qint32 peak =
                *std::max_element(cand.intensity.begin() + p.first, cand.intensity.begin() + p.last + 1);
            cand.minPeak = std::min(cand.minPeak, peak);
            cand.meanPeak += double(peak) / double(np);
        }
        if (cand.plainHigh <= 0 || cand.minPeak <= cand.plainHigh)
            return;
        cand.separation = double(cand.minPeak) / cand.plainHigh;
        // Halfway between plain disc and mark on a ratio scale: the same margin both ways.
        cand.trigger = std::clamp(rounded(std::sqrt(double(cand.plainHigh) * cand.minPeak)), 1, 100000);
        cand.minAbove = std::numeric_limits<int>::max();
        for (const Pass& p : complete)
            cand.minAbove = std::min<int>(
                cand.minAbove, int(std::count_if(cand.intensity.begin() + p.first, cand.intensity.begin() + p.last + 1,
                                                 [&](qint32 v) { return v >= cand.trigger; })));
    };

    std::vector<Candidate> candidates;
    for (double width : {1.0, 0.7, 0.5, 0.35, 0.25, 0.15})
        for (double from = 0.0; from + width <= 1.0 + 1e-9; from += 0.05) {
            Candidate cand;
            for (const auto& [ph, i] : phase)
                if (ph >= from - 1e-9 && ph <= from + width + 1e-9)
                    cand.cells.push_back(i);
            std::sort(cand.cells.begin(), cand.cells.end());
            const bool seen = std::any_of(candidates.begin(), candidates.end(),
                                          [&](const Candidate& c) { return c.cells == cand.cells; });
            if (cand.cells.empty() || seen)
                continue;
            evaluate(cand);
            if (cand.separation >= MinSeparation)
                candidates.push_back(std::move(cand));
            if (width >= 1.0)
                break;
        }
    if (candidates.empty())
        return;
    // The clearest separation among those whose every pass stays above the trigger for a few frames, so a
    // pass cannot slip between two frames; fewer frames are accepted only when no choice gives more.
    int need = 0;
    for (const Candidate& c : candidates)
        need = std::max(need, std::min(c.minAbove, 3));
    double clearest = 0.0;
    for (const Candidate& c : candidates)
        if (c.minAbove >= need)
            clearest = std::max(clearest, c.separation);
    // Of those nearly as clear, the most cells: a larger area averages away more noise than the passes showed.
    const Candidate* best = nullptr;
    for (const Candidate& c : candidates)
        if (c.minAbove >= need && std::log(c.separation) >= NearlyAsClear * std::log(clearest) &&
            (!best || c.cells.size() > best->cells.size()))
            best = &c;

    FindMarkProposal& r = m_proposal;
    QString grid;
    for (int row = 0; row < SurveyRows; ++row) {
        if (row > 0)
            grid += QLatin1Char(' ');
        for (int col = 0; col < SurveyColumns; ++col) {
            const int c = row * SurveyColumns + col;
            const bool on = std::any_of(best->cells.begin(), best->cells.end(),
                                        [&](int i) { return markCells[std::size_t(i)] == c; });
            grid += QLatin1Char(on ? '9' : '0');
        }
    }
    r.grid = grid;
    r.red = useChannel[0];
    r.green = useChannel[1];
    r.blue = useChannel[2];
    r.invert = dir > 0;
    r.intensityFactor = best->factor;
    r.triggerLevel = best->trigger;
    r.plainLevel = best->plainLevel;
    r.plainHigh = best->plainHigh;
    r.markPeak = best->minPeak;

    // Debounce: longer than any dip below the trigger inside a pass, shorter than half a revolution.
    std::vector<double> steps(std::size_t(frames - 1));
    for (int f = 1; f < frames; ++f)
        steps[std::size_t(f - 1)] = m_times[std::size_t(f)] - m_times[std::size_t(f - 1)];
    const double frameStep = median(steps);
    double longestDip = 0.0;
    std::vector<double> starts;
    for (const Pass& p : complete) {
        int lastAbove = -1;
        for (int f = p.first; f <= p.last; ++f) {
            if (best->intensity[std::size_t(f)] < r.triggerLevel)
                continue;
            if (lastAbove < 0)
                starts.push_back(m_times[std::size_t(f)]);
            else if (f > lastAbove + 1)
                longestDip = std::max(longestDip, m_times[std::size_t(f - 1)] - m_times[std::size_t(lastAbove)]);
            lastAbove = f;
        }
    }
    double shortest = std::numeric_limits<double>::max();
    for (std::size_t i = 1; i < starts.size(); ++i)
        shortest = std::min(shortest, starts[i] - starts[i - 1]);
    r.shortestRevolution = shortest;
    const double debounce = std::min(std::max(1.5 * longestDip + 2.0 * frameStep, DebounceFloor), shortest / 2.0);
    r.debounceMs = std::clamp(rounded(debounce * 1000.0), 1, 60000);

    // Ambient tracking when the plain disc's level moved while watching; the percentage keeps the trigger in
    // the same proportion to the mark's peak as the light changes.
    std::vector<double> windowLevels;
    std::vector<qint32> window;
    double windowStart = -1.0;
    for (int f = 0; f < frames; ++f) {
        if (!plain[std::size_t(f)])
            continue;
        if (windowStart < 0)
            windowStart = m_times[std::size_t(f)];
        if (m_times[std::size_t(f)] - windowStart > DriftWindow) {
            windowLevels.push_back(median(window));
            window.clear();
            windowStart = m_times[std::size_t(f)];
        }
        window.push_back(best->intensity[std::size_t(f)]);
    }
    if (!window.empty())
        windowLevels.push_back(median(window));
    const auto [lowest, highest] = std::minmax_element(windowLevels.begin(), windowLevels.end());
    r.trackAmbient = r.plainLevel > 0 && (*highest - *lowest) / r.plainLevel > DriftForTracking;
    r.trackPercent = qint16(std::clamp(rounded(100.0 * r.triggerLevel / best->meanPeak), 1, 10000));
    // The noise filter takes the median of three frames: a mark above the trigger for fewer frames than five
    // could lose its peak to it.
    r.reduceNoise = m_reduceNoise && best->minAbove >= 5;
    r.valid = true;
}
