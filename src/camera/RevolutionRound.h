// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <optional>

// The time handed on for each revolution: as long as where the mark lies says, else the average of the round of
// revolutions its edge's crossing places repeat in, counted on from the last time handed on, so that a round that
// ends or changes length moves no revolution.
class RevolutionRound
{
public:
    // How far, as a share of the frame spacing, a revolution timed by where the mark lies may lie from the line's,
    // which misses by up to a frame at either end on a narrow set of cells; and the time handed on from the
    // revolution's own.
    static constexpr double PositionSlack = 2.0;

    // The time to hand on for a revolution timed at `time` between frames `gap` seconds apart: `seen` long when
    // where the mark lies told, else best timed over the last `round` revolutions (0 or 1 for itself alone).
    double handOn(double time, int round, double gap, std::optional<double> seen);
    // The own time of the last revolution since clear().
    std::optional<double> lastOwnTime() const;
    // A frame's time is no crossing's to time a round by, and after a stop nothing before counts.
    void clear();

private:
    std::deque<double> m_times;     // the last revolutions' own times, newest last
    std::optional<double> m_handed; // the last time handed on
};
