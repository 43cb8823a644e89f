// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/EdgeTiming.h"

#include "app/Clock.h"
#include "camera/MarkPositions.h"
#include "camera/Threshold.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {
// The share of the timing correction kept from one revolution to the next.
constexpr double CorrectionKept = 0.9;
// Half the difference between a revolution timed on the leading edges and one on the trailing edges, as a share
// of the frame spacing, beyond which it is taken for a change of load rather than the line's misses: at 10 frames
// a revolution a change of 6 % lies there.
constexpr double MaxMissDifference = 0.3;
} // namespace

double EdgeTiming::LineCrossing::at() const
{
    return at(share);
}

double EdgeTiming::LineCrossing::at(double place) const
{
    return WrapDay(before + place * gap);
}

std::optional<EdgeTiming::Frame> EdgeTiming::advance(std::optional<Frame> frame)
{
    return std::exchange(m_previousFrame, frame);
}

std::optional<EdgeTiming::LineCrossing> EdgeTiming::lineCrossing(const std::optional<Frame>& before, double now,
                                                                 double mean, const Level& level)
{
    if (!before)
        return std::nullopt;
    const double gap = SecondsBetween(now, before->time);
    if (gap <= 0 || gap > MarkPositions::MaxFrameGap)
        return std::nullopt;
    // The level is decided on the rounded average: find the whole averages between the two frames' own where
    // it turns from one side of the trigger to the other; the unrounded average crossed halfway between them.
    // Both averages are as the plain light shows them, so the trigger is the one set.
    qint32 from = roundedHalfEven(before->mean);
    qint32 to = roundedHalfEven(mean);
    const bool reachedBefore = level.reaches(from);
    if (reachedBefore == level.reaches(to)) {
        // The frames were judged against the light each showed; as the plain light shows them, both lie on one side,
        // a rounding from the trigger: a mark coming that already reached it crossed at the frame before, one that
        // had not yet at this one, and the other way round for a mark ending.
        if (level.followsLight)
            return LineCrossing{before->time, gap, reachedBefore == !level.markOn ? 0.0 : 1.0};
        return std::nullopt; // the trigger moved since the frame before: no crossing seen between the two
    }
    while (std::abs(to - from) > 1) {
        const qint32 middle = from + (to - from) / 2;
        (level.reaches(middle) == reachedBefore ? from : to) = middle;
    }
    // Between the frames the cell average is taken as a straight line.
    const double share = (before->mean - (from + to) / 2.0) / (before->mean - mean);
    return LineCrossing{before->time, gap, std::clamp(share, 0.0, 1.0)};
}

double EdgeTiming::crossingTime(const CrossingPlaces& places, const LineCrossing& line)
{
    return line.at(places.place(line.share, line.at(), line.gap));
}

void EdgeTiming::markEnded()
{
    // The trailing edge is placed once it is known to be the last crossing, then learnt from.
    if (const std::optional<LineCrossing> fall = std::exchange(m_fallLine, std::nullopt)) {
        m_fall = crossingTime(m_fallPlaces, *fall);
        m_fallPlaces.learn(fall->share, fall->at(), fall->gap);
    }
}

EdgeTiming::Rise EdgeTiming::leadingEdge(const LineCrossing& line, double now)
{
    const double riseTime = crossingTime(m_risePlaces, line);
    const int round = m_risePlaces.roundOfRevolutions(line.at(), line.gap);
    m_risePlaces.learn(line.share, line.at(), line.gap);
    return {pulseTime(riseTime, line.before, now), round, line.gap};
}

double EdgeTiming::untimedMark(double now)
{
    return pulseTime(std::nullopt, now, now);
}

double EdgeTiming::pulseTime(std::optional<double> rise, double before, double now)
{
    const std::optional<double> fall = std::exchange(m_fall, std::nullopt);
    // When the mark's edges cross the cells within a frame or two, a straight line between two frames misses a
    // crossing by milliseconds that depend on where the frames fall, and the trailing edge misses differently
    // from the leading one. Averaging the revolution timed on leading edges with the one before it timed on
    // trailing edges halves and partly cancels those misses: half their difference is carried in the time
    // handed on. A difference beyond what the line misses by is the load changing, not a miss, and is left out
    // (the trailing edges' revolution is one revolution older); the carried correction fades so that it never
    // drifts away from the edge, and the time stays between the two frames.
    double correction = 0.0;
    if (rise && fall && m_previousRise && m_previousFall) {
        const double difference = (SecondsBetween(*fall, *m_previousFall) - SecondsBetween(*rise, *m_previousRise)) / 2;
        const double gap = SecondsBetween(now, before);
        correction = CorrectionKept * m_correction;
        if (std::abs(difference) <= MaxMissDifference * gap && std::abs(correction + difference) <= gap)
            correction += difference;
        correction = std::clamp(correction, -SecondsBetween(*rise, before), SecondsBetween(now, *rise));
    }
    m_fallLine.reset();
    m_previousFall = fall;
    m_previousRise = rise;
    m_correction = correction;
    return rise ? WrapDay(*rise + correction) : now;
}

void EdgeTiming::clear()
{
    *this = {};
}
