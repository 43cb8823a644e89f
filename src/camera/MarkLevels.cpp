// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/MarkLevels.h"

#include "camera/Threshold.h"

#include <cmath>
#include <limits>

namespace {
constexpr double PlainIntensity = 1000.0;
constexpr double DebounceFloor = 0.1;      // seconds
constexpr std::size_t NoiseNeighbours = 3; // frames either side
constexpr double NoiseQuantile = 0.9;
constexpr double Exposure = 0.5; // share of a frame the shutter is taken to be open
} // namespace

MarkLevels::MarkLevels(const std::vector<qint32>& averages, bool invert, const std::vector<bool>& plain,
                       const std::vector<Range>& passes, double speedUp)
    : m_plain(plain), m_passes(passes), m_speedUp(std::max(speedUp, 1.0))
{
    std::vector<qint32> plainAverages;
    for (std::size_t f = 0; f < averages.size(); ++f)
        if (plain[f])
            plainAverages.push_back(averages[f]);
    if (plainAverages.empty() || passes.empty())
        return;
    const double plainAverage = medianOf(plainAverages);
    factor = invert ? std::clamp(roundedHalfEven(PlainIntensity / std::max(plainAverage, 1.0)), 1, 1000000)
                    : std::clamp(roundedHalfEven(PlainIntensity * (plainAverage + 1.0)), 1, 1000000);
    std::vector<qint32> plainIntensities;
    for (std::size_t f = 0; f < averages.size(); ++f) {
        intensity.push_back(scaledIntensity(factor, invert, averages[f]));
        if (plain[f]) {
            plainIntensities.push_back(intensity.back());
            plainHigh = std::max(plainHigh, intensity.back());
        }
    }
    plainLevel = medianOf(plainIntensities);
    minPeak = fastPeak = std::numeric_limits<qint32>::max();
    for (const Range& p : passes) {
        const qint32 peak = *std::max_element(intensity.begin() + p.first, intensity.begin() + p.last + 1);
        minPeak = std::min(minPeak, peak);
        fastPeak = std::min({fastPeak, peak, peakAtSpeed(averages, invert, p, m_speedUp)});
    }
    if (plainLevel <= 0 || fastPeak <= plainHigh)
        return;
    // The plain disc's frame-to-frame noise on a ratio scale, each frame against its neighbours: a slowly
    // passing edge carries it across any level, so release and trigger lie twice that apart. A mark ends only
    // after several frames in a row below the release (the debounce), so the rare largest deviations matter
    // less than the common ones.
    std::vector<double> deviations;
    for (std::size_t f = 0; f < intensity.size(); ++f) {
        std::vector<qint32> around;
        for (std::size_t g = f > NoiseNeighbours ? f - NoiseNeighbours : 0;
             g < std::min(f + NoiseNeighbours + 1, intensity.size()); ++g)
            if (plain[g])
                around.push_back(intensity[g]);
        if (plain[f] && around.size() > NoiseNeighbours)
            deviations.push_back(std::abs(std::log(double(intensity[f]) / std::max(medianOf(around), 1))));
    }
    if (!deviations.empty()) {
        const auto at = deviations.begin() + std::ptrdiff_t(NoiseQuantile * double(deviations.size() - 1));
        std::nth_element(deviations.begin(), at, deviations.end());
        noise = *at;
    }
    room = std::log(double(fastPeak) / plainHigh) - 2.0 * noise;
    if (room <= 0.0) {
        room = 0.0;
        return;
    }
    // The room shared in three: the release above the plain disc, the trigger above the release's noise
    // band, the weakest fast peak above the trigger.
    release = std::clamp(roundedHalfEven(plainHigh * std::exp(room / 3.0)), 1, 100000);
    trigger = std::clamp(roundedHalfEven(plainHigh * std::exp(2.0 * noise + 2.0 * room / 3.0)), 1, 100000);
}

qint32 MarkLevels::peakAtSpeed(const std::vector<qint32>& averages, bool invert, const Range& pass,
                               double speedUp) const
{
    // Each frame of the faster disc spans speedUp frames of the watch: with the shutter open for half of it
    // it sees a longer stretch of them than they saw (motion blur), with a short shutter one instant. Between two
    // frames of the watch the cell average is taken as a straight line, so a mark watched in a frame or two is also
    // judged as frames falling between them would show it. Its peak at the least favourable phase of the
    // frames against the mark, at the watched speed too.
    constexpr int Phases = 16;
    const int pad = int(std::ceil(speedUp)) + 1;
    const int first = std::max(pass.first - pad, 0);
    const int last = std::min(pass.last + pad, int(averages.size()) - 1);
    const auto at = [&](double x) {
        const int f = std::clamp(int(std::floor(x)), first, last);
        const int g = std::min(f + 1, last);
        const double share = std::clamp(x - f, 0.0, 1.0);
        return averages[std::size_t(f)] * (1.0 - share) + averages[std::size_t(g)] * share;
    };
    const double blur = (speedUp - 1.0) * Exposure; // beyond the blur the watched frames show already
    const int steps = std::max(8, int(std::ceil(2.0 * blur)));
    qint32 worst = std::numeric_limits<qint32>::max();
    for (int phase = 0; phase < Phases; ++phase) {
        qint32 blurred = std::numeric_limits<qint32>::min();
        qint32 sampled = blurred;
        for (double x = first + speedUp * phase / Phases; x <= last; x += speedUp) {
            double sum = 0.0;
            for (int i = 0; i < steps; ++i)
                sum += at(x + blur * ((i + 0.5) / steps - 0.5));
            blurred = std::max(blurred, scaledIntensity(factor, invert, roundedHalfEven(sum / steps)));
            sampled = std::max(sampled, scaledIntensity(factor, invert, roundedHalfEven(at(x))));
        }
        worst = std::min({worst, blurred, sampled});
    }
    return worst;
}

qint32 MarkLevels::debounceMs(const std::vector<double>& times, double fastestRevolution) const
{
    std::vector<double> steps;
    for (std::size_t f = 1; f < times.size(); ++f)
        steps.push_back(times[f] - times[f - 1]);
    const double step = medianOf(steps);
    double longestDip = 0.0;
    double longestPass = 0.0;
    for (const Range& p : m_passes) {
        longestPass = std::max(longestPass, times[std::size_t(p.last)] - times[std::size_t(p.first)]);
        int lastAbove = -1;
        for (int f = p.first; f <= p.last; ++f) {
            if (intensity[std::size_t(f)] < release)
                continue;
            if (lastAbove >= 0 && f > lastAbove + 1)
                longestDip = std::max(longestDip, times[std::size_t(f - 1)] - times[std::size_t(lastAbove)]);
            lastAbove = f;
        }
    }
    // The fastest disc's mark is out of view for the rest of its revolution, less a frame either side.
    const double fastestGap = fastestRevolution - longestPass / m_speedUp - 2.0 * step;
    const double seconds = std::min(std::max(1.5 * longestDip + 2.0 * step, DebounceFloor), fastestGap / 2.0);
    return std::clamp(roundedHalfEven(seconds * 1000.0), 1, 60000);
}

qint32 MarkLevels::releasePercent() const
{
    return trigger > 0 ? std::clamp(qint32(std::floor(100.0 * release / trigger)), 1, 100) : 100;
}
