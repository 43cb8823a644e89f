// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/CrossingPlaces.h"

#include "metering/PulseSignal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {
// Edges remembered; how many of a like revolution time and frame spacing it takes to learn from, and how many
// of the newest of those are used (more average away more noise, fewer start sooner).
constexpr std::size_t Remembered = 96;
constexpr std::size_t Needed = 16;
constexpr std::size_t Used = 48;
// Revolution times and frame spacings within this share of the present one count as alike: the edge's shape
// in time, and so the line's miss, changes with both.
constexpr double Alike = 0.1;
// The place is read off at this many evenly spaced quantiles, joined by lines: fewer would miss the shape of
// a sharp edge, more would follow the noise of a few marks.
constexpr int Knots = 6;
// Beyond this a revolution takes days: no period to compare.
constexpr double MaxPeriod = 43200.0;

bool alike(double a, double b)
{
    return std::abs(a - b) <= Alike * b;
}
} // namespace

std::optional<double> CrossingPlaces::periodSince(double at) const
{
    if (!m_lastAt)
        return std::nullopt;
    const double period = SecondsBetween(at, *m_lastAt);
    if (period <= 0.0 || period > MaxPeriod)
        return std::nullopt;
    return period;
}

double CrossingPlaces::place(double share, double at, double gap) const
{
    const std::optional<double> period = periodSince(at);
    if (!period)
        return share;
    std::vector<double> shares;
    for (auto seen = m_seen.rbegin(); seen != m_seen.rend() && shares.size() < Used; ++seen)
        if (alike(seen->period, *period) && alike(seen->gap, gap))
            shares.push_back(seen->share);
    if (shares.size() < Needed)
        return share;
    std::sort(shares.begin(), shares.end());
    // Evenly spread true places reach both ends of the gap and put a good part of the shares in its middle
    // whatever the edge's shape; shares bunched at one place, or at both ends, come from crossings at one
    // place (or either side of a frame), and ordering them would turn noise into misses of half a frame.
    const auto middle = std::count_if(shares.begin(), shares.end(), [](double s) { return s >= 0.2 && s <= 0.8; });
    std::array<double, Knots + 1> knots{};
    knots.front() = 0.0;
    knots.back() = 1.0;
    for (int k = 1; k < Knots; ++k) {
        const double rank = double(k) / Knots * double(shares.size()) - 0.5;
        const auto below = std::size_t(rank);
        const double above = rank - double(below);
        knots[std::size_t(k)] = shares[below] * (1.0 - above) + shares[below + 1] * above;
    }
    if (shares.front() > 0.15 || shares.back() < 0.85 || 4 * middle < std::ptrdiff_t(shares.size()) ||
        knots[Knots - 1] - knots[1] < 0.25)
        return share;
    const auto upper = std::upper_bound(knots.begin() + 1, knots.end() - 1, share);
    const auto k = std::size_t(upper - knots.begin());
    const double from = knots[k - 1];
    const double to = knots[k];
    const double within = to > from ? std::clamp((share - from) / (to - from), 0.0, 1.0) : 0.5;
    return (double(k - 1) + within) / Knots;
}

void CrossingPlaces::learn(double share, double at, double gap)
{
    if (const std::optional<double> period = periodSince(at)) {
        m_seen.push_back({share, *period, gap});
        if (m_seen.size() > Remembered)
            m_seen.pop_front();
    }
    m_lastAt = at;
}

void CrossingPlaces::clear()
{
    m_seen.clear();
    m_lastAt.reset();
}
