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
// Crossings that come back to within this share of the gap for each revolution between repeat their places:
// the line's misses at either end of a round then differ by too little to matter.
constexpr double RepeatTolerance = 0.015;
// Slower discs' edges cross the cells over several frames, where the line misses by little: a round would only
// hold back a change of load.
constexpr double MaxFramesForRounds = 24.0;
// The most of the latest revolutions timed as a round when no round of repeating places is known: an even number.
constexpr int LatestRound = 8;
// Ordering tells true places only while they spread this evenly over the gap (the share of places below a point
// against the share of the gap below it, its largest miss either way added): seven places evenly apart or more.
constexpr double MaxUnevenness = 0.15;

bool alike(double a, double b)
{
    return std::abs(a - b) <= Alike * b;
}

// How far from a whole number of frames `frames` lies, as a share of the gap.
double offWholeFrames(double frames)
{
    return std::abs(frames - std::round(frames));
}

// Where the crossings of a steady disc fall: k revolutions on they lie k times its revolution's fraction of a
// frame further on, around the gap. How unevenly n of them spread (0 at best, 1 all at one place).
double unevenness(double framesPerRevolution, std::size_t n)
{
    std::vector<double> places(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double frames = double(k) * framesPerRevolution;
        places[k] = frames - std::floor(frames);
    }
    std::sort(places.begin(), places.end());
    double fewer = 0.0, more = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        fewer = std::max(fewer, double(i + 1) / double(n) - places[i]);
        more = std::max(more, places[i] - double(i) / double(n));
    }
    return fewer + more;
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

std::optional<CrossingPlaces::Learnt> CrossingPlaces::learnt(double at, double gap) const
{
    const std::optional<double> period = periodSince(at);
    if (!period)
        return std::nullopt;
    Learnt alikeOnes;
    double periods = 0.0, gaps = 0.0;
    for (auto seen = m_seen.rbegin(); seen != m_seen.rend() && alikeOnes.shares.size() < Used; ++seen)
        if (alike(seen->period, *period) && alike(seen->gap, gap)) {
            alikeOnes.shares.push_back(seen->share);
            periods += seen->period;
            gaps += seen->gap;
        }
    if (alikeOnes.shares.size() < Needed)
        return std::nullopt;
    alikeOnes.framesPerRevolution = periods / gaps;
    return alikeOnes;
}

double CrossingPlaces::place(double share, double at, double gap) const
{
    std::optional<Learnt> seen = learnt(at, gap);
    // Evenly spread true places are what ordering the shares rests on; a revolution of about a whole number of
    // frames, or of a simple part of one more, crosses at one place or a few, and ordering would turn noise
    // into misses of a large part of the gap.
    if (!seen || unevenness(seen->framesPerRevolution, seen->shares.size()) > MaxUnevenness)
        return share;
    std::vector<double>& shares = seen->shares;
    std::sort(shares.begin(), shares.end());
    std::array<double, Knots + 1> knots{};
    knots.front() = 0.0;
    knots.back() = 1.0;
    for (int k = 1; k < Knots; ++k) {
        const double rank = double(k) / Knots * double(shares.size()) - 0.5;
        const auto below = std::size_t(rank);
        const double above = rank - double(below);
        knots[std::size_t(k)] = shares[below] * (1.0 - above) + shares[below + 1] * above;
    }
    const auto upper = std::upper_bound(knots.begin() + 1, knots.end() - 1, share);
    const auto k = std::size_t(upper - knots.begin());
    const double from = knots[k - 1];
    const double to = knots[k];
    const double within = to > from ? std::clamp((share - from) / (to - from), 0.0, 1.0) : 0.5;
    return (double(k - 1) + within) / Knots;
}

int CrossingPlaces::roundOfRevolutions(double at, double gap) const
{
    const std::optional<double> period = periodSince(at);
    if (!period || *period > MaxFramesForRounds * gap)
        return 0;
    // A round rests on the disc alone: the newest crossings of a like revolution time count, at whatever frame
    // spacing (a late frame changes where the line puts one crossing, not where the next ones fall).
    int inARow = 1; // this revolution and those of a like time just before it
    bool unbroken = true;
    std::size_t alikeOnes = 0;
    double periods = 0.0, gaps = 0.0;
    for (auto seen = m_seen.rbegin(); seen != m_seen.rend() && alikeOnes < Used; ++seen) {
        if (!alike(seen->period, *period)) {
            unbroken = false;
            continue;
        }
        inARow += unbroken ? 1 : 0;
        ++alikeOnes;
        periods += seen->period;
        gaps += seen->gap;
    }
    if (alikeOnes >= Needed)
        for (int revolutions = 1; revolutions <= MaxRepeat; ++revolutions)
            if (offWholeFrames(revolutions * periods / gaps) <= RepeatTolerance * revolutions)
                return revolutions;
    // Otherwise the latest revolutions of a like time: their misses average, and those of a revolution half a
    // frame over, which alternate, cancel.
    const int latest = std::min(inARow, LatestRound);
    return latest - latest % 2;
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
