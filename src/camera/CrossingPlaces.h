// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <optional>

// Where between two frames a mark's edge truly crossed the trigger level, from where the straight line between
// the two frames put it. When the edge and its blur cross the cells within a frame or so, the line misses by
// milliseconds that depend on where the frames fall. The frame clock has nothing to do with the disc, though,
// so over many marks of a steady disc the true crossings fall evenly between frames, and the line's shares,
// put in order, say where each truly fell: the k-th of n lies k/n of the way. Learnt per edge from marks of
// about the same revolution time and frame spacing, and used only while the shares seen spread across the gap;
// a disc whose revolution takes a whole number of frames crosses at the same place every time, which no order
// can tell, and its line's share stands (its error is then the same every revolution and cancels).
class CrossingPlaces
{
public:
    // The true share of the gap between two frames, `gap` seconds apart, for an edge the line put at `share`
    // of it, at clock time `at`.
    double place(double share, double at, double gap) const;
    // Takes in an edge the line put at `share` of a gap of `gap` seconds, at clock time `at`.
    void learn(double share, double at, double gap);
    void clear();

private:
    struct Seen
    {
        double share;
        double period; // seconds since the edge before
        double gap;
    };
    std::optional<double> periodSince(double at) const;

    std::deque<Seen> m_seen; // newest last
    std::optional<double> m_lastAt;
};
