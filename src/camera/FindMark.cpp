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
// A mark blurred over many cells changes each by less than that; a frame counts as well when the sum of the
// cells' changes beyond their noise lies this many of its usual deviations above its usual value.
constexpr float FaintDeviations = 10.0f;
constexpr float FaintFloor = 3.0f;
constexpr int ActiveCellsPerFrame = 2;   // one noisy cell alone makes no pass (its channels share its noise)
constexpr double AnalysisInterval = 0.5; // seconds of watching between two looks at the passes
constexpr double MinWatch = 3.0;         // before that the plain levels rest on too few frames
constexpr std::size_t MaxFrames = 18000; // ten minutes at 30 frames per second
constexpr double MinRoom = 0.02;         // log scale: a few per cent spare
constexpr double NearlyAsClear = 0.9;    // share of the most room
constexpr double MaxKilowatts = 20.0;    // the most a household draws: the fastest the disc turns
constexpr double MedianSafeFrames = 4.0;
constexpr int StripeGap = 5; // cells from one changed cell to the next across a gap the mark crosses

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

qint32 rounded(double x)
{
    return qint32(TextFormat::roundHalfEven(x));
}
// The cells split into groups whose cells touch, side or corner, each in ascending order.
std::vector<std::vector<int>> touchingGroups(const std::vector<int>& cells)
{
    std::vector<std::vector<int>> groups;
    std::vector<bool> placed(cells.size(), false);
    for (std::size_t seed = 0; seed < cells.size(); ++seed) {
        if (placed[seed])
            continue;
        placed[seed] = true;
        std::vector<int> group{cells[seed]};
        for (std::size_t next = 0; next < group.size(); ++next)
            for (std::size_t i = 0; i < cells.size(); ++i) {
                const int a = group[next], b = cells[i];
                if (!placed[i] && std::abs(a / FindMark::SurveyColumns - b / FindMark::SurveyColumns) <= 1 &&
                    std::abs(a % FindMark::SurveyColumns - b % FindMark::SurveyColumns) <= 1) {
                    placed[i] = true;
                    group.push_back(b);
                }
            }
        std::sort(group.begin(), group.end());
        groups.push_back(std::move(group));
    }
    return groups;
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
    s.RELEASE_LEVEL_PERCENT = releasePercent;
    // The levels follow the light on the whole picture instead of the marks' peaks, which a mark that never
    // ends under a drift away from the levels would not give.
    s.LEVELS_FOLLOW_LIGHT = true;
    s.TRACK_AMBIENT_LIGHT_CHANGE = false;
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

void FindMark::reset(bool reduceNoise, double revsPerKWh)
{
    *this = FindMark();
    m_reduceNoise = reduceNoise;
    m_revsPerKWh = revsPerKWh;
}

double FindMark::frameStep() const
{
    std::vector<double> steps(m_times.size() > 1 ? m_times.size() - 1 : 0);
    for (std::size_t f = 1; f < m_times.size(); ++f)
        steps[f - 1] = m_times[f] - m_times[f - 1];
    return medianOf(steps);
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
    for (std::vector<float>& sums : m_faintSums)
        sums.erase(sums.begin(), sums.begin() + std::min<std::ptrdiff_t>(frames, std::ptrdiff_t(sums.size())));
    for (int k = 0; k < Values; ++k) {
        const quint32* w = &m_smoothed[std::size_t(k) * Bins];
        m_mode[std::size_t(k)] = quint8(std::max_element(w, w + Bins) - w);
    }
    m_completeAtLastProposal = -1;
}

std::vector<FindMark::Pass> FindMark::findPasses(std::vector<int>& threshold)
{
    const int frames = int(m_times.size());
    std::vector<Pass> passes;
    if (frames < 3)
        return passes;
    threshold.assign(Values, ActiveBins);
    std::vector<int> spreads(Values, 0);
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
        spreads[std::size_t(k)] = spread;
        threshold[std::size_t(k)] =
            std::max({ActiveBins, NoiseMultiple * spread,
                      int(std::ceil(std::log1p(MinGreyChange / std::max(plain, 1.0)) / BinWidth))});
    }
    std::vector<bool> active = faintFrames(spreads);
    for (int f = 0; f < frames; ++f) {
        int count = 0;
        for (int c = 0; c < Cells && count < ActiveCellsPerFrame; ++c)
            for (int k = c * 3; k < c * 3 + 3; ++k)
                if (std::abs(binOf(f, k) - m_mode[std::size_t(k)]) >= threshold[std::size_t(k)]) {
                    ++count;
                    break;
                }
        active[std::size_t(f)] = active[std::size_t(f)] || count >= ActiveCellsPerFrame;
    }
    // Dips inside one pass shorter than this join it up; gaps between passes are longer.
    const double joinGap = std::max(2.5 * frameStep(), 0.12);
    for (int f = 0; f < frames; ++f) {
        if (!active[std::size_t(f)])
            continue;
        if (!passes.empty() && m_times[std::size_t(f)] - m_times[std::size_t(passes.back().last)] <= joinGap)
            passes.back().last = f;
        else
            passes.push_back({f, f, false});
    }
    // A slow mark's edge may show in a few frames before the rest of it: stretches of activity closer together
    // than the longer of them is long are one pass (passes lie several times their length apart).
    const auto length = [this](const Pass& p) { return m_times[std::size_t(p.last)] - m_times[std::size_t(p.first)]; };
    for (std::size_t i = 1; i < passes.size();) {
        Pass& before = passes[i - 1];
        if (m_times[std::size_t(passes[i].first)] - m_times[std::size_t(before.last)] <=
            std::max(length(before), length(passes[i]))) {
            before.last = passes[i].last;
            passes.erase(passes.begin() + std::ptrdiff_t(i));
        } else {
            ++i;
        }
    }
    for (Pass& p : passes)
        p.complete = p.first > 0 && m_times.back() - m_times[std::size_t(p.last)] > joinGap;
    return passes;
}

std::vector<bool> FindMark::faintFrames(const std::vector<int>& spreads)
{
    // Each cell's change in units of its own noise, and per frame the sum over the cells beyond that noise, darker
    // and lighter apart; each frame is summed once, against the plain levels known when it was first looked at.
    // Most frames show the plain disc, so the sums' median and spread say what noise gives.
    const std::size_t frames = m_times.size();
    std::array<float, Cells> noise{};
    for (int c = 0; c < Cells; ++c)
        noise[std::size_t(c)] = std::max(1.5f, float(spreads[std::size_t(c * 3)] + spreads[std::size_t(c * 3 + 1)] +
                                                     spreads[std::size_t(c * 3 + 2)]));
    for (std::size_t f = m_faintSums[0].size(); f < frames; ++f) {
        std::array<float, 2> sum{};
        for (int c = 0; c < Cells; ++c) {
            int change = 0;
            for (int k = c * 3; k < c * 3 + 3; ++k)
                change += binOf(int(f), k) - m_mode[std::size_t(k)];
            const float z = float(change) / noise[std::size_t(c)];
            sum[z > 0] += std::max(std::abs(z) - 1.0f, 0.0f);
        }
        m_faintSums[0].push_back(sum[0]);
        m_faintSums[1].push_back(sum[1]);
    }
    std::vector<bool> faint(frames, false);
    for (const std::vector<float>& sum : m_faintSums) {
        const float typical = medianOf(sum);
        std::vector<float> deviations(frames);
        for (std::size_t f = 0; f < frames; ++f)
            deviations[f] = std::abs(sum[f] - typical);
        const float limit = typical + std::max(FaintDeviations * medianOf(deviations), FaintFloor);
        for (std::size_t f = 0; f < frames; ++f)
            faint[f] = faint[f] || sum[f] > limit;
    }
    return faint;
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

QString FindMark::refusal() const
{
    if (!m_tooFaint || finished())
        return {};
    return QStringLiteral(
               "The mark was seen, but at %1 kW the disc would carry it past too briefly and faintly to tell "
               "it from changes of the light, and settings found now would miss it. Switch on a large load "
               "such as a kettle so that the disc turns faster, or aim the camera so that more of the disc "
               "is in view; watching goes on.")
        .arg(MaxKilowatts);
}

FindMark::MarkChange FindMark::markChange(const std::vector<MarkLevels::Range>& passes,
                                          const std::vector<int>& threshold) const
{
    // The most extreme change of every value in every pass.
    const std::size_t np = passes.size();
    std::vector<int> extreme(np * Values, 0);
    for (std::size_t p = 0; p < np; ++p)
        for (int f = passes[p].first; f <= passes[p].last; ++f)
            for (int k = 0; k < Values; ++k) {
                const int d = binOf(f, k) - m_mode[std::size_t(k)];
                int& e = extreme[p * Values + std::size_t(k)];
                if (std::abs(d) > std::abs(e))
                    e = d;
            }
    MarkChange change;
    long long direction = 0;
    for (std::size_t i = 0; i < extreme.size(); ++i)
        if (std::abs(extreme[i]) >= threshold[i % Values])
            direction += extreme[i];
    const int dir = change.direction = direction > 0 ? 1 : -1; // a light mark brightens the cells it passes
    // How strongly the mark changes value k in its weakest pass, in its own direction.
    auto weakest = [&](int k) {
        int w = std::numeric_limits<int>::max();
        for (std::size_t p = 0; p < np; ++p)
            w = std::min(w, dir * extreme[p * Values + std::size_t(k)]);
        return w;
    };

    // Cells the mark changes in every pass, at least half as strongly as the cell it changes most.
    std::array<int, Cells> strength{};
    for (int c = 0; c < Cells; ++c)
        strength[std::size_t(c)] = std::max({weakest(c * 3), weakest(c * 3 + 1), weakest(c * 3 + 2), 0});
    const int strongest = *std::max_element(strength.begin(), strength.end());
    std::array<bool, Cells> on{};
    for (int c = 0; c < Cells; ++c)
        on[std::size_t(c)] = strength[std::size_t(c)] >= std::max(ActiveBins, (strongest + 1) / 2);
    // The mark crosses every cell between two it changes on a row or column. Frames that catch a fast mark at the
    // same place every pass leave the cells between those places weaker, and their stripes would miss the
    // mark when the frames fall elsewhere.
    std::array<bool, Cells> between = on;
    const auto at = [&](int row, int col) {
        return row >= 0 && row < SurveyRows && col >= 0 && col < SurveyColumns &&
               on[std::size_t(row * SurveyColumns + col)];
    };
    for (int r = 0; r < SurveyRows; ++r)
        for (int c = 0; c < SurveyColumns; ++c)
            for (int before = 1; before < StripeGap; ++before)
                for (int after = 1; before + after <= StripeGap; ++after)
                    if ((at(r, c - before) && at(r, c + after)) || (at(r - before, c) && at(r + after, c)))
                        between[std::size_t(r * SurveyColumns + c)] = true;
    for (int c = 0; c < Cells; ++c)
        if (between[std::size_t(c)])
            change.cells.push_back(c);

    // Channels the mark changes: a red mark leaves red nearly as it is.
    std::array<double, 3> channelStrength{};
    for (int ch = 0; ch < 3; ++ch)
        for (int c : change.cells)
            channelStrength[std::size_t(ch)] += weakest(c * 3 + ch);
    const double bestChannel = *std::max_element(channelStrength.begin(), channelStrength.end());
    for (int ch = 0; ch < 3; ++ch)
        change.channels[std::size_t(ch)] = channelStrength[std::size_t(ch)] >= bestChannel / 2;
    return change;
}

std::vector<std::vector<int>> FindMark::pathSections(const MarkLevels::Range& pass, const MarkChange& change) const
{
    // Where on its path the mark reaches each cell: 0 at the start of the pass, 1 at its end.
    const double span = m_times[std::size_t(pass.last)] - m_times[std::size_t(pass.first)];
    std::vector<std::pair<double, int>> phase;
    for (int c : change.cells) {
        int bestFrame = pass.first;
        int bestDev = std::numeric_limits<int>::min();
        for (int f = pass.first; f <= pass.last; ++f) {
            int dev = 0;
            for (int ch = 0; ch < 3; ++ch)
                if (change.channels[std::size_t(ch)])
                    dev += change.direction * (binOf(f, c * 3 + ch) - m_mode[std::size_t(c * 3 + ch)]);
            if (dev > bestDev) {
                bestDev = dev;
                bestFrame = f;
            }
        }
        phase.push_back(
            {span > 0 ? (m_times[std::size_t(bestFrame)] - m_times[std::size_t(pass.first)]) / span : 0.5, c});
    }
    // Stretches of the path from the whole of it down to a seventh: a short stretch the mark covers fully
    // gives a clearer signal, a long one more frames above the trigger. A fast mark's few frames give many cells
    // the same phase, far apart on its path as well as near: a stretch is only cells that touch, or the mark
    // would leave the active cells between two of them and come back, and count twice.
    std::vector<std::vector<int>> sections;
    for (double width : {1.0, 0.7, 0.5, 0.35, 0.25, 0.15})
        for (double from = 0.0; from + width <= 1.0 + 1e-9; from += 0.05) {
            std::vector<int> cells;
            for (const auto& [ph, c] : phase)
                if (ph >= from - 1e-9 && ph <= from + width + 1e-9)
                    cells.push_back(c);
            for (std::vector<int>& piece : touchingGroups(cells))
                if (std::find(sections.begin(), sections.end(), piece) == sections.end())
                    sections.push_back(std::move(piece));
        }
    return sections;
}

int FindMark::framesInEachCell(const std::vector<MarkLevels::Range>& passes, const MarkChange& change,
                               const std::vector<int>& cells, const std::vector<int>& threshold) const
{
    int fewest = std::numeric_limits<int>::max();
    for (const MarkLevels::Range& p : passes)
        for (int c : cells) {
            int frames = 0;
            for (int f = p.first; f <= p.last; ++f)
                for (int ch = 0; ch < 3; ++ch) {
                    const int k = c * 3 + ch;
                    if (change.channels[std::size_t(ch)] &&
                        change.direction * (binOf(f, k) - m_mode[std::size_t(k)]) >= threshold[std::size_t(k)]) {
                        ++frames;
                        break;
                    }
                }
            fewest = std::min(fewest, frames);
        }
    return fewest;
}

std::vector<qint32> FindMark::cellAverages(const std::vector<int>& cells, const std::array<bool, 3>& channels) const
{
    const int used = int(channels[0]) + int(channels[1]) + int(channels[2]);
    std::vector<qint32> averages;
    for (std::size_t f = 0; f < m_times.size(); ++f) {
        long long sum = 0;
        for (int c : cells)
            for (int ch = 0; ch < 3; ++ch)
                if (channels[std::size_t(ch)])
                    sum += m_values[f * Values + std::size_t(c * 3 + ch)];
        averages.push_back(rounded(double(sum) / (double(cells.size()) * used)));
    }
    return averages;
}

void FindMark::propose(const std::vector<Pass>& passes, const std::vector<int>& threshold)
{
    const int frames = int(m_times.size());
    std::vector<MarkLevels::Range> complete;
    for (const Pass& p : passes)
        if (p.complete)
            complete.push_back({std::max(p.first - 1, 0), std::min(p.last + 1, frames - 1)});
    m_proposal = FindMarkProposal{};
    m_proposal.passes = int(complete.size());
    const MarkChange change = markChange(complete, threshold);
    // Passes seen only as many cells changing a little together: no cell tells the mark from the light.
    m_tooFaint = change.cells.empty();
    if (m_tooFaint)
        return;
    // Plain-disc frames: away from every pass, complete or not.
    std::vector<bool> plain(std::size_t(frames), true);
    for (const Pass& p : passes)
        for (int f = std::max(p.first - 2, 0); f <= std::min(p.last + 2, frames - 1); ++f)
            plain[std::size_t(f)] = false;

    // The disc may turn up to MaxKilowatts later; without a meter constant the speed watched is all there is.
    std::vector<double> starts;
    for (const MarkLevels::Range& p : complete)
        starts.push_back(m_times[std::size_t(p.first)]);
    double revolution = std::numeric_limits<double>::max();
    for (std::size_t i = 1; i < starts.size(); ++i)
        revolution = std::min(revolution, starts[i] - starts[i - 1]);
    const double fastest =
        m_revsPerKWh > 0.0 ? std::min(revolution, 3600.0 / (MaxKilowatts * m_revsPerKWh)) : revolution;
    const double speedUp = revolution / fastest;

    std::vector<std::pair<std::vector<int>, MarkLevels>> candidates;
    for (std::vector<int>& cells : pathSections(complete.front(), change)) {
        MarkLevels levels(cellAverages(cells, change.channels), change.direction > 0, plain, complete, speedUp);
        if (levels.room >= MinRoom)
            candidates.emplace_back(std::move(cells), std::move(levels));
    }
    m_tooFaint = candidates.empty();
    if (m_tooFaint)
        return;
    // The most room; of those with nearly as much, the most cells: a larger area averages away more noise
    // than the passes showed.
    double most = 0.0;
    for (const auto& [cells, levels] : candidates)
        most = std::max(most, levels.room);
    const std::pair<std::vector<int>, MarkLevels>* best = nullptr;
    for (const auto& candidate : candidates)
        if (candidate.second.room >= NearlyAsClear * most && (!best || candidate.first.size() > best->first.size()))
            best = &candidate;

    const std::vector<int>& cells = best->first;
    const MarkLevels& levels = best->second;
    FindMarkProposal& r = m_proposal;
    for (int row = 0; row < SurveyRows; ++row) {
        if (row > 0)
            r.grid += QLatin1Char(' ');
        for (int col = 0; col < SurveyColumns; ++col) {
            const bool on = std::binary_search(cells.begin(), cells.end(), row * SurveyColumns + col);
            r.grid += QLatin1Char(on ? '9' : '0');
        }
    }
    r.red = change.channels[0];
    r.green = change.channels[1];
    r.blue = change.channels[2];
    r.invert = change.direction > 0;
    r.intensityFactor = levels.factor;
    r.triggerLevel = levels.trigger;
    r.plainLevel = levels.plainLevel;
    r.plainHigh = levels.plainHigh;
    r.markPeak = levels.minPeak;
    r.releasePercent = levels.releasePercent();
    r.shortestRevolution = revolution;
    r.debounceMs = levels.debounceMs(m_times, fastest);
    // The noise filter gives each value the median of its last three frames: it keeps the mark's peak only where
    // the fastest disc still covers every active cell for two frames besides the blurred ones at its edges.
    r.reduceNoise = m_reduceNoise && framesInEachCell(complete, change, cells, threshold) >= MedianSafeFrames * speedUp;
    r.valid = true;
}
