// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <optional>
#include <vector>

// Where between two frames a mark's edge truly crossed the trigger level, from where the straight line between
// the two frames put it. When the edge and its blur cross the cells within a frame or so, the line misses by
// milliseconds that depend on where the frames fall. The frame clock has nothing to do with the disc, though,
// so over many marks of a steady disc the true crossings fall evenly between frames, and the line's shares,
// put in order, say where each truly fell: the k-th of n lies k/n of the way. Learnt per edge from marks of
// about the same revolution time and frame spacing, and used only while their true places spread evenly; a disc
// whose revolution takes about a whole number of frames, or a simple part of one more, crosses at one place
// or a few, which no order can tell, and its line's share stands.
class CrossingPlaces
{
public:
    // The most revolutions after which crossings that repeat their places are timed as a round.
    static constexpr int MaxRepeat = 10;

    // The true share of the gap between two frames, `gap` seconds apart, for an edge the line put at `share`
    // of it, at clock time `at`.
    double place(double share, double at, double gap) const;
    // Takes in an edge the line put at `share` of a gap of `gap` seconds, at clock time `at`.
    void learn(double share, double at, double gap);
    // How many revolutions, ending with the one whose edge crossed at clock time `at` between frames `gap` seconds
    // apart, a fast disc's revolution is best timed over; 0 or 1 for that one alone, as a slow disc's. From 16
    // revolutions of a like time on, the round after which a steady disc's crossings come back to about the same
    // place between frames, up to MaxRepeat: the line misses by as much at either end, so the round is timed
    // exactly. Before, or when there is no such round, the latest revolutions of a like time, up to 8.
    int roundOfRevolutions(double at, double gap) const;
    void clear();

private:
    struct Seen
    {
        double share;
        double period; // seconds since the edge before
        double gap;
    };
    // The shares of the newest crossings of a revolution time and frame spacing like the present one's.
    struct Learnt
    {
        std::vector<double> shares;
        double framesPerRevolution = 0.0;
    };
    std::optional<double> periodSince(double at) const;
    std::optional<Learnt> learnt(double at, double gap) const;

    std::deque<Seen> m_seen; // newest last
    std::optional<double> m_lastAt;
};
