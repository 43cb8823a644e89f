// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/FindMark.h"

#include "app/Clock.h"
#include "app/GlobalSettings.h"
#include "app/TextFormat.h"
#include "camera/LightFollower.h"
#include "camera/MarkDetector.h"
#include "camera/MarkLevels.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>

namespace {
constexpr double BinWidth = 0.057762265046662105; // ln 2 / 12: a twelfth of an octave of light
constexpr int ActiveBins = 5;                     // about a third off the plain level
constexpr double MinGreyChange = 10.0;            // and at least this, so noise in dark cells stays plain
constexpr int NoiseMultiple = 5;
// A mark blurred over many cells changes each by less than that; a frame counts as well when the sum of the
// cells' changes beyond their noise lies this many of its usual deviations above its usual value.
constexpr float FaintDeviations = 10.0f;
constexpr float FaintFloor = 3.0f;
// A bin either way in each channel is rounding, which a light change shared by all cells may give all of them at once.
constexpr float RoundingBins = 3.0f;
constexpr int ActiveCellsPerFrame = 2;   // one noisy cell alone makes no pass (its channels share its noise)
constexpr double AnalysisInterval = 0.5; // seconds of watching between two looks at the passes
constexpr double MinWatch = 3.0;         // before that the plain levels rest on too few frames
constexpr std::size_t MaxFrames = 18000; // ten minutes at 30 frames per second
constexpr double MinRoom = 0.05;         // log scale: a few per cent spare
constexpr double NearlyAsClear = 0.9;    // share of the most room
constexpr double MedianSafeFrames = 4.0;
constexpr int StripeGap = 5; // cells from one changed cell to the next across a gap the mark crosses
// A worn mark changes its cells by fewer bins than ActiveBins: then by at least this many, and NoiseMultiple times
// their noise, in every pass.
constexpr int FaintMarkBins = 3;
// Below this the disc turns slowly enough that passes seen at speed would tell more of how a fast one shows.
constexpr double SlowWatchKilowatts = 2.0;

// The powers a limit is stated at: tens of watts, hundreds, then whole kilowatts.
std::vector<qint32> limitLadder()
{
    std::vector<qint32> watts;
    for (qint32 w = 10; w < 100; w += 10)
        watts.push_back(w);
    for (qint32 w = 100; w < 1000; w += 100)
        watts.push_back(w);
    for (qint32 w = 1000; w <= qint32(FindMark::MaxKilowatts * 1000); w += 1000)
        watts.push_back(w);
    return watts;
}

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

QString AssuredPowerText(qint32 watts)
{
    return watts >= 1000 ? QStringLiteral("%1 kW").arg(TextFormat::roundHalfEven(watts / 100.0) / 10.0)
                         : QStringLiteral("%1 W").arg(watts);
}

QString FindMarkProposal::marginsText() const
{
    if (triggerLevel <= 0)
        return QString();
    const double above = 100.0 * (markPeak - triggerLevel) / triggerLevel;
    const double below = 100.0 * (triggerLevel - plainHigh) / triggerLevel;
    return QStringLiteral("mark peaks %1 % above the trigger; plain disc %2 % below")
        .arg(roundedHalfEven(above))
        .arg(roundedHalfEven(below));
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
    s.ASSURED_UP_TO_WATTS = assuredWatts;
    if (forwardDegrees)
        s.FORWARD_DIRECTION = QString::number(std::lround(*forwardDegrees));
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
    return samples == 0 ? 0 : scaledIntensity(intensityFactor, invert, roundedHalfEven(double(sum) / samples));
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
        m_elapsed += std::max(SecondsAhead(time, m_lastClock), 0.0);
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
        if (add > 0 && w[j] > w[m_smoothedPeak[std::size_t(k)]])
            m_smoothedPeak[std::size_t(k)] = quint8(j);
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
        m_smoothedPeak[std::size_t(k)] = quint8(std::max_element(w, w + Bins) - w);
    }
    m_completeAtLastProposal = -1;
}

void FindMark::findModes()
{
    // The smoothed peak finds the plain level among noisy bins, but a faint mark's frames a few bins off widen it
    // towards them; the plain disc lies where the bins near it, smoothed less, peak.
    for (int k = 0; k < Values; ++k) {
        const quint32* h = &m_hist[std::size_t(k) * Bins];
        const auto near = [h](int j) { return h[j] + (j > 0 ? h[j - 1] : 0) + (j + 1 < Bins ? h[j + 1] : 0); };
        const int peak = m_smoothedPeak[std::size_t(k)];
        int mode = peak;
        for (int j = std::max(peak - ModeRadius, 0); j <= std::min(peak + ModeRadius, Bins - 1); ++j)
            if (near(j) > near(mode))
                mode = j;
        m_mode[std::size_t(k)] = quint8(mode);
    }
}

std::vector<FindMark::Pass> FindMark::findPasses(std::vector<int>& threshold)
{
    const int frames = int(m_times.size());
    std::vector<Pass> passes;
    if (frames < 3)
        return passes;
    findModes();
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
        m_spreads[std::size_t(k)] = spread;
        // Finer: the deviation of the frames near the plain level, in bins; a value lying on a bin's edge spreads
        // over two bins with hardly any noise.
        double weight = 0.0, squares = 0.0;
        for (int b = std::max(mode - ActiveBins + 1, 0); b <= std::min(mode + ActiveBins - 1, Bins - 1); ++b) {
            weight += h[b];
            squares += double(h[b]) * (b - mode) * (b - mode);
        }
        m_deviations[std::size_t(k)] = weight > 0 ? std::sqrt(squares / weight) : 0.0;
        threshold[std::size_t(k)] =
            std::max({ActiveBins, NoiseMultiple * spread,
                      int(std::ceil(std::log1p(MinGreyChange / std::max(plain, 1.0)) / BinWidth))});
    }
    std::vector<bool> active = faintFrames();
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

std::vector<bool> FindMark::faintFrames()
{
    // Each cell's change in units of its own noise, and per frame the sum over the cells beyond that noise, darker
    // and lighter apart; each frame is summed once, against the plain levels known when it was first looked at.
    // Most frames show the plain disc, so the sums' median and spread say what noise gives.
    const std::size_t frames = m_times.size();
    std::array<float, Cells> noise{};
    for (int c = 0; c < Cells; ++c)
        noise[std::size_t(c)] =
            std::max(RoundingBins, float(m_spreads[std::size_t(c * 3)] + m_spreads[std::size_t(c * 3 + 1)] +
                                         m_spreads[std::size_t(c * 3 + 2)]));
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
    return QStringLiteral("The mark was seen, but too faintly to tell it from changes of the light, and settings found "
                          "now would miss it. What would help: %1; watching goes on.")
        .arg(m_faintAdvice);
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
    // A worn mark changes no cell by ActiveBins: then the cells it changes well beyond their noise.
    std::array<bool, Cells> on{};
    for (int c = 0; c < Cells; ++c) {
        int floor = ActiveBins;
        for (int k = c * 3; k < c * 3 + 3; ++k)
            floor =
                std::min(floor, std::max(FaintMarkBins, int(std::ceil(NoiseMultiple * m_deviations[std::size_t(k)]))));
        on[std::size_t(c)] = strength[std::size_t(c)] >= std::max(floor, (strongest + 1) / 2);
    }
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

std::vector<Movement> FindMark::passMovements(const std::vector<MarkLevels::Range>& passes,
                                              const MarkChange& change) const
{
    std::vector<Movement> movements;
    for (const MarkLevels::Range& pass : passes) {
        MarkPath path;
        for (int f = pass.first; f <= pass.last; ++f) {
            MarkPlace at;
            for (const int c : change.cells) {
                int dev = 0;
                for (int ch = 0; ch < 3; ++ch)
                    if (change.channels[std::size_t(ch)])
                        dev += change.direction * (binOf(f, c * 3 + ch) - m_mode[std::size_t(c * 3 + ch)]);
                if (dev <= 0)
                    continue;
                at.x += dev * ((c % SurveyColumns) + 0.5) / SurveyColumns;
                at.y += dev * ((c / SurveyColumns) + 0.5) / SurveyRows;
                at.weight += dev;
            }
            if (at.weight > 0)
                path.add({at.x / at.weight, at.y / at.weight, at.weight});
        }
        if (const std::optional<Movement> moved = path.movement())
            movements.push_back(*moved);
    }
    return movements;
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

std::vector<qint32> FindMark::cellAverages(const std::vector<int>& cells, const std::array<bool, 3>& channels,
                                           const std::vector<double>& light) const
{
    const int used = int(channels[0]) + int(channels[1]) + int(channels[2]);
    std::vector<qint32> averages;
    for (std::size_t f = 0; f < m_times.size(); ++f) {
        long long sum = 0;
        for (int c : cells)
            for (int ch = 0; ch < 3; ++ch)
                if (channels[std::size_t(ch)])
                    sum += m_values[f * Values + std::size_t(c * 3 + ch)];
        averages.push_back(roundedHalfEven(double(sum) / (double(cells.size()) * used) / light[f]));
    }
    return averages;
}

std::vector<double> FindMark::lightOf(const std::vector<bool>& plain, bool darkMark) const
{
    // The proposal has the detector follow the light over the same grid: the levels are judged as it will see them.
    LightFollower follower;
    std::vector<double> light(m_times.size());
    std::vector<double> cells(Cells);
    for (std::size_t f = 0; f < m_times.size(); ++f) {
        for (std::size_t c = 0; c < Cells; ++c) {
            const quint8* v = &m_values[f * Values + c * 3];
            cells[c] = double(v[0]) + v[1] + v[2];
        }
        follower.addFrame(cells, plain[f], darkMark);
        light[f] = follower.light();
    }
    return light;
}

QString FindMark::advice(const MarkLevels& watched, const MarkLevels& fastest, double speedUp) const
{
    // The room between the plain disc and the mark's weakest peak, and what takes it: a fast mark's blur over
    // too few frames, and the light's unsteadiness (twice: above the plain disc and between release and trigger).
    const double contrast = std::log(double(std::max(watched.minPeak, 1)) / std::max(watched.plainHigh, 1));
    const double blurred = std::log(double(std::max(watched.minPeak, 1)) / std::max(fastest.fastPeak, 1));
    QStringList help;
    if (speedUp * SlowWatchKilowatts > MaxKilowatts && m_revsPerKWh > 0.0)
        help << QStringLiteral("a large load such as a kettle, so that Find Mark sees the disc turn fast");
    if (blurred > contrast / 3.0)
        help << QStringLiteral("more of the disc in view, so that the mark stays in view for more frames");
    if (2.0 * watched.noise > contrast / 3.0)
        help << QStringLiteral("a steadier light (a lamp that does not flicker) or a longer exposure");
    if (contrast < std::log(1.5) || help.isEmpty())
        help << QStringLiteral("light that makes the mark stand out more from the disc, without glare on the glass");
    return help.join(QStringLiteral("; "));
}

void FindMark::propose(const std::vector<Pass>& passes, const std::vector<int>& threshold)
{
    const int frames = int(m_times.size());
    std::vector<MarkLevels::Range> complete;
    for (const Pass& p : passes)
        if (p.complete)
            complete.push_back({std::max(p.first - 1, 0), std::min(p.last + 1, frames - 1)});
    m_proposal = FindMarkProposal{};
    // Frames in which the light changed a little on many cells at once may look like a faint pass; next to the mark's
    // own passes they change no cell much.
    std::vector<int> strongest;
    for (const MarkLevels::Range& p : complete) {
        int most = 0;
        for (int f = p.first; f <= p.last; ++f)
            for (int k = 0; k < Values; ++k)
                most = std::max(most, std::abs(binOf(f, k) - m_mode[std::size_t(k)]));
        strongest.push_back(most);
    }
    const int clearest = *std::max_element(strongest.begin(), strongest.end());
    for (std::size_t i = complete.size(); i-- > 0;)
        if (3 * strongest[i] < clearest)
            complete.erase(complete.begin() + std::ptrdiff_t(i));
    m_tooFaint = false;
    if (complete.size() < std::size_t(PassesNeeded))
        return;
    m_proposal.passes = int(complete.size());
    const MarkChange change = markChange(complete, threshold);
    // Passes seen only as many cells changing a little together: no cell tells the mark from the light.
    m_tooFaint = change.cells.empty();
    if (m_tooFaint) {
        m_faintAdvice = QStringLiteral("more of the disc in view, so that the mark stays in view for more frames; "
                                       "light that makes the mark stand out more from the disc, without glare on the "
                                       "glass");
        return;
    }
    // Plain-disc frames: away from every pass, complete or not.
    std::vector<bool> plain(std::size_t(frames), true);
    for (const Pass& p : passes)
        for (int f = std::max(p.first - 2, 0); f <= std::min(p.last + 2, frames - 1); ++f)
            plain[std::size_t(f)] = false;

    std::vector<double> starts;
    for (const MarkLevels::Range& p : complete)
        starts.push_back(m_times[std::size_t(p.first)]);
    double revolution = std::numeric_limits<double>::max();
    for (std::size_t i = 1; i < starts.size(); ++i)
        revolution = std::min(revolution, starts[i] - starts[i - 1]);
    const double watchedWatts = m_revsPerKWh > 0.0 ? 3.6e6 / (revolution * m_revsPerKWh) : 0.0;

    const std::vector<double> light = lightOf(plain, change.direction < 0);
    std::vector<std::vector<int>> sections = pathSections(complete.front(), change);
    std::vector<std::vector<qint32>> averages;
    for (const std::vector<int>& cells : sections)
        averages.push_back(cellAverages(cells, change.channels, light));
    const auto speedUpAt = [&](double watts) { return std::max(1.0, watts / std::max(watchedWatts, 1e-9)); };
    // The section with the most room at the speed; of those with nearly as much, the most cells: a larger area
    // averages away more noise than the passes showed. None where no section keeps MinRoom.
    const auto bestAt = [&](double speedUp) -> std::optional<std::pair<std::size_t, MarkLevels>> {
        std::optional<std::pair<std::size_t, MarkLevels>> best;
        std::vector<MarkLevels> levels;
        double most = 0.0;
        for (std::size_t i = 0; i < sections.size(); ++i) {
            levels.emplace_back(averages[i], change.direction > 0, plain, complete, speedUp);
            most = std::max(most, levels.back().room);
        }
        for (std::size_t i = 0; i < sections.size(); ++i)
            if (levels[i].room >= MinRoom && levels[i].room >= NearlyAsClear * most &&
                (!best || sections[i].size() > sections[best->first].size()))
                best.emplace(i, levels[i]);
        return best;
    };
    std::optional<std::pair<std::size_t, MarkLevels>> chosen = bestAt(1.0);
    if (!chosen) {
        m_tooFaint = true;
        MarkLevels all(cellAverages(change.cells, change.channels, light), change.direction > 0, plain, complete, 1.0);
        m_faintAdvice = advice(all, all, speedUpAt(MaxKilowatts * 1000));
        return;
    }
    // Without a meter constant the speed watched is all there is. With one, the highest power on the ladder whose
    // speed leaves room: a faster disc shows the mark in fewer frames, more blurred.
    qint32 assured = 0;
    if (m_revsPerKWh > 0.0) {
        const std::vector<qint32> ladder = limitLadder();
        std::size_t low = 0, high = ladder.size(); // ladder[low - 1] holds, ladder[high] does not
        while (low < high) {
            const std::size_t mid = (low + high) / 2;
            if (ladder[mid] <= watchedWatts || bestAt(speedUpAt(ladder[mid])))
                low = mid + 1;
            else
                high = mid;
        }
        // Below the ladder's first step the speed watched itself holds.
        assured = low > 0 ? ladder[low - 1] : qint32(watchedWatts);
        if (std::optional<std::pair<std::size_t, MarkLevels>> at = bestAt(speedUpAt(assured)))
            chosen.emplace(at->first, at->second);
    }
    const double speedUp = m_revsPerKWh > 0.0 ? speedUpAt(assured) : 1.0;
    const double fastest = revolution / speedUp;

    const std::vector<int>& cells = sections[chosen->first];
    const MarkLevels& levels = chosen->second;
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
    r.assuredWatts = assured;
    r.forwardDegrees = CommonDirection(passMovements(complete, change));
    if (assured > 0 && assured < qint32(MaxKilowatts * 1000)) {
        const MarkLevels atMost(averages[chosen->first], change.direction > 0, plain, complete,
                                speedUpAt(MaxKilowatts * 1000));
        const MarkLevels watched(averages[chosen->first], change.direction > 0, plain, complete, 1.0);
        r.limitText = QStringLiteral("These settings count every revolution up to %1; above that the mark passes too "
                                     "briefly. What would help: %2.")
                          .arg(AssuredPowerText(assured), advice(watched, atMost, speedUpAt(MaxKilowatts * 1000)));
    }
    r.valid = true;
}
