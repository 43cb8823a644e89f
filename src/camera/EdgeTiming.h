// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/CrossingPlaces.h"

#include <QtGlobal>
#include <functional>
#include <optional>

// Times a mark's edges between two neighbouring frames. The cell average is taken as a straight line between
// them; where it passed the trigger is corrected by where earlier crossings of that edge fell, and a revolution is
// handed on with half the difference between its timing on leading and on trailing edges.
class EdgeTiming
{
public:
    struct Frame
    {
        double time = 0.0;
        double mean = 0.0; // unrounded cell average, as the plain light shows it
    };
    // Where the straight line between two neighbouring frames passed the trigger level.
    struct LineCrossing
    {
        double before = 0.0; // the earlier frame's clock time
        double gap = 0.0;    // seconds to the later frame
        double share = 0.0;  // of the gap
        double at() const;
        // The clock time at `place` of the gap.
        double at(double place) const;
    };
    // A rounded cell average reaches the trigger.
    using Reaches = std::function<bool(qint32 average)>;
    struct Level
    {
        Reaches reaches;
        bool followsLight = false; // LEVELS_FOLLOW_LIGHT: the frames were judged against the light each showed
        bool markOn = false;       // looking for the trailing edge, not the leading one
    };
    struct Rise
    {
        double time = 0.0; // the clock time handed on for the revolution
        int round = 0;     // revolutions since the crossing place last moved a whole gap
        double gap = 0.0;
    };

    // Keeps this settled frame (none when it has no cell average) and returns the one before it.
    std::optional<Frame> advance(std::optional<Frame> frame);
    // Where the cell average passed the trigger level, either way, between `before` and a frame at `now`; none
    // when the frames are no neighbours or the level was not passed between them.
    static std::optional<LineCrossing> lineCrossing(const std::optional<Frame>& before, double now, double mean,
                                                    const Level& level);
    // The present mark's trailing edge as the line puts it so far: noise may cross more than once, and the last
    // crossing before the mark ends is its edge.
    void trailingCrossed(const LineCrossing& line) { m_fallLine = line; }
    // The mark ended: its trailing edge is placed and learnt from.
    void markEnded();
    // A mark's leading edge crossed on `line`; the frame after it was taken at `now`.
    Rise leadingEdge(const LineCrossing& line, double now);
    // A mark seen with no neighbouring frame before it: timed at the frame.
    double untimedMark(double now);
    void clear();

private:
    static double crossingTime(const CrossingPlaces& places, const LineCrossing& line);
    double pulseTime(std::optional<double> rise, double before, double now);

    std::optional<Frame> m_previousFrame; // the last settled frame since the camera started or a reset
    std::optional<LineCrossing> m_fallLine;
    std::optional<double> m_fall;         // the last mark's trailing edge, placed when it ended
    std::optional<double> m_previousFall; // the trailing edge of the mark before that
    std::optional<double> m_previousRise; // the last mark's leading edge
    double m_correction = 0.0;            // seconds added to the leading edge's time
    CrossingPlaces m_risePlaces;
    CrossingPlaces m_fallPlaces;
};
