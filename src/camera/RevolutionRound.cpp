// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/RevolutionRound.h"

#include "app/Clock.h"
#include "camera/CrossingPlaces.h"

#include <algorithm>

namespace {
// The share of the way from a round's time to the revolution's own that each revolution is drawn.
constexpr double RoundPull = 0.02;
// How far, as a share of the frame spacing, a round's time may lie from the revolution's own: the line misses
// an edge by up to half a frame where a narrow set of cells leaves both frames on flat stretches of the edge.
constexpr double RoundSlack = 0.5;
} // namespace

double RevolutionRound::handOn(double time, int round, double gap, std::optional<double> seen)
{
    m_times.push_back(time);
    if (m_times.size() > CrossingPlaces::MaxRepeat + 1)
        m_times.pop_front();
    if (!m_handed || m_times.size() < 2) {
        m_handed = time;
        return time;
    }
    // Drawn a little towards the revolution's own time at each, and never further from it than the line can
    // miss, so what rounds shifted never stays.
    const std::size_t revolutions = std::clamp<std::size_t>(std::size_t(std::max(round, 1)), 1, m_times.size() - 1);
    const double handed =
        *m_handed +
        (seen ? *seen : SecondsBetween(time, m_times[m_times.size() - 1 - revolutions]) / double(revolutions));
    const double behind = SecondsAhead(time, handed); // either side of midnight
    const double slack = (seen ? PositionSlack : RoundSlack) * gap;
    m_handed = WrapDay(time - std::clamp(behind * (1.0 - RoundPull), -slack, slack));
    return *m_handed;
}

std::optional<double> RevolutionRound::lastOwnTime() const
{
    if (m_times.empty())
        return std::nullopt;
    return m_times.back();
}

void RevolutionRound::clear()
{
    m_times.clear();
    m_handed.reset();
}
