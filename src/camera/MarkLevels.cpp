// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/MarkLevels.h"

#include "app/TextFormat.h"
#include "camera/MarkDetector.h"

#include <cmath>
#include <limits>

namespace {
constexpr double PlainIntensity = 1000.0;
constexpr double DebounceFloor = 0.1; // seconds
constexpr double DriftForTracking = 0.08;
constexpr double DriftWindow = 2.0; // seconds

qint32 rounded(double x)
{
    return qint32(TextFormat::roundHalfEven(x));
}
} // namespace

MarkLevels::MarkLevels(const std::vector<qint32>& averages, bool invert, const std::vector<bool>& plain,
                       const std::vector<Range>& passes)
    : m_plain(plain), m_passes(passes)
{
    std::vector<qint32> plainAverages;
    for (std::size_t f = 0; f < averages.size(); ++f)
        if (plain[f])
            plainAverages.push_back(averages[f]);
    if (plainAverages.empty() || passes.empty())
        return;
    const double plainAverage = medianOf(plainAverages);
    factor = invert ? std::clamp(rounded(PlainIntensity / std::max(plainAverage, 1.0)), 1, 1000000)
                    : std::clamp(rounded(PlainIntensity * (plainAverage + 1.0)), 1, 1000000);
    std::vector<qint32> plainIntensities;
    for (std::size_t f = 0; f < averages.size(); ++f) {
        intensity.push_back(scaledIntensity(factor, invert, averages[f]));
        if (plain[f]) {
            plainIntensities.push_back(intensity.back());
            plainHigh = std::max(plainHigh, intensity.back());
        }
    }
    plainLevel = medianOf(plainIntensities);
    minPeak = std::numeric_limits<qint32>::max();
    for (const Range& p : passes) {
        const qint32 peak = *std::max_element(intensity.begin() + p.first, intensity.begin() + p.last + 1);
        minPeak = std::min(minPeak, peak);
        meanPeak += double(peak) / double(passes.size());
    }
    if (plainHigh <= 0 || minPeak <= plainHigh)
        return;
    separation = double(minPeak) / plainHigh;
    // Halfway between plain disc and mark on a ratio scale: the same margin both ways.
    trigger = std::clamp(rounded(std::sqrt(double(plainHigh) * minPeak)), 1, 100000);
    minAbove = std::numeric_limits<int>::max();
    for (const Range& p : passes)
        minAbove =
            std::min<int>(minAbove, int(std::count_if(intensity.begin() + p.first, intensity.begin() + p.last + 1,
                                                      [&](qint32 v) { return v >= trigger; })));
}

qint32 MarkLevels::debounceMs(const std::vector<double>& times, double& shortestRevolution) const
{
    std::vector<double> steps;
    for (std::size_t f = 1; f < times.size(); ++f)
        steps.push_back(times[f] - times[f - 1]);
    double longestDip = 0.0;
    std::vector<double> starts;
    for (const Range& p : m_passes) {
        int lastAbove = -1;
        for (int f = p.first; f <= p.last; ++f) {
            if (intensity[std::size_t(f)] < trigger)
                continue;
            if (lastAbove < 0)
                starts.push_back(times[std::size_t(f)]);
            else if (f > lastAbove + 1)
                longestDip = std::max(longestDip, times[std::size_t(f - 1)] - times[std::size_t(lastAbove)]);
            lastAbove = f;
        }
    }
    shortestRevolution = std::numeric_limits<double>::max();
    for (std::size_t i = 1; i < starts.size(); ++i)
        shortestRevolution = std::min(shortestRevolution, starts[i] - starts[i - 1]);
    // The shortest that is safe: a faster disc later (a kettle switched on) then still counts.
    const double seconds =
        std::min(std::max(1.5 * longestDip + 2.0 * medianOf(steps), DebounceFloor), shortestRevolution / 2.0);
    return std::clamp(rounded(seconds * 1000.0), 1, 60000);
}

bool MarkLevels::drifted(const std::vector<double>& times) const
{
    std::vector<double> levels;
    std::vector<qint32> window;
    double windowStart = -1.0;
    for (std::size_t f = 0; f < intensity.size(); ++f) {
        if (!m_plain[f])
            continue;
        if (windowStart < 0)
            windowStart = times[f];
        if (times[f] - windowStart > DriftWindow) {
            levels.push_back(medianOf(window));
            window.clear();
            windowStart = times[f];
        }
        window.push_back(intensity[f]);
    }
    if (!window.empty())
        levels.push_back(medianOf(window));
    if (levels.empty() || plainLevel <= 0)
        return false;
    const auto [lowest, highest] = std::minmax_element(levels.begin(), levels.end());
    return (*highest - *lowest) / plainLevel > DriftForTracking;
}

qint16 MarkLevels::trackPercent() const
{
    return qint16(std::clamp(rounded(100.0 * trigger / std::max(meanPeak, 1.0)), 1, 10000));
}
