// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/MarkPositions.h"

#include "FrameGap.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {
constexpr double Plain = 200.0, Mark = 50.0;

// A dark mark crossing `columns` columns once a revolution: `speed` columns a second (negative: from the right),
// `width` columns wide, its edges blurred over `blur` columns.
struct Disc
{
    double period;
    double speed;
    int columns = 10;
    double width = 4.0;
    double blur = 2.5;

    // The frame at time t: each column's value.
    std::vector<MarkPositions::Column> frame(double t) const
    {
        const double travel = std::abs(speed) * period; // columns a revolution
        const double since = std::fmod(t, period);
        const double lead = std::abs(speed) * since - width; // the leading edge, from the entry side
        const auto ramp = [this](double u) { return std::clamp(u / blur + 0.5, 0.0, 1.0); };
        std::vector<MarkPositions::Column> out;
        for (int c = 0; c < columns; ++c) {
            const double x = speed > 0 ? c : columns - 1 - c;
            const double cover = lead < travel / 2 ? std::min(ramp(lead - x), ramp(x - (lead - width))) : 0.0;
            out.push_back({c, Plain - (Plain - Mark) * cover});
        }
        return out;
    }
    // Whether the mark covers enough of the columns in the frame at t for a detector to see it: `columns` worth.
    bool seen(double t, double columns = 1.5) const
    {
        double cover = 0.0;
        for (const auto& c : frame(t))
            cover += (Plain - c.value) / (Plain - Mark);
        return cover >= columns;
    }
};

// Runs the disc for `revolutions`, telling of each mark at the first frame it is seen, with the revolution timed
// otherwise as `toldAs` of the disc's; the revolutions returned.
std::vector<std::optional<double>> run(MarkPositions& positions, const Disc& disc, int revolutions, double slack = 0.02,
                                       double start = 0.013, double seenAt = 1.5, double toldAs = 1.0)
{
    std::vector<std::optional<double>> timed;
    bool was = false;
    for (double t = start; t < start + revolutions * disc.period; t += FrameGap) {
        positions.frame(t, disc.frame(t));
        const bool is = disc.seen(t, seenAt);
        if (is && !was)
            timed.push_back(positions.markCame(true, disc.period * toldAs, slack));
        was = is;
    }
    return timed;
}
} // namespace

// Whether the mark comes from the left or the right, however wide it is and however its revolution falls between
// frames, each revolution after the first few is timed to within a millisecond, as the frames alone could not: 10.3
// frames leaves the line a quarter of a frame to miss by.
TEST(MarkPositionsTest, TimesEveryRevolutionToAMillisecondWhicheverWayTheMarkMoves)
{
    for (const double frames : {10.3, 11.5, 16.7, 23.9})
        for (const double direction : {1.0, -1.0})
            for (const double width : {4.0, 7.0}) {
                SCOPED_TRACE(testing::Message() << frames << " frames, direction " << direction << ", width " << width);
                const double period = frames * FrameGap;
                MarkPositions positions;
                const auto timed = run(positions, {period, direction * 60.0 / period, 10, width}, 30);
                ASSERT_GE(timed.size(), 28u);
                EXPECT_FALSE(timed.front()); // nothing to time the first mark from
                // The levels need a mark seen, and a wide mark's width a frame showing both its edges.
                for (std::size_t k = 3; k < timed.size(); ++k) {
                    EXPECT_TRUE(timed[k]) << k;
                    if (timed[k]) {
                        EXPECT_NEAR(*timed[k], period, 0.001) << k;
                    }
                }
            }
}

// A mark seen as soon as it shows at the edge of the columns cannot be placed in that frame, and its revolution
// is timed otherwise; the next is timed from where the mark lay in a later frame of its pass.
TEST(MarkPositionsTest, AMarkSeenAtTheEdgeOfTheColumnsIsPlacedLaterInItsPass)
{
    const double period = 10.3 * FrameGap;
    MarkPositions positions;
    const auto timed = run(positions, {period, 60.0 / period}, 60, 0.02, 0.013, 0.3);
    ASSERT_GE(timed.size(), 58u);
    int untimed = 0;
    for (std::size_t k = 3; k + 1 < timed.size(); ++k) {
        if (timed[k]) {
            EXPECT_NEAR(*timed[k], period, 0.001) << k;
            continue;
        }
        ++untimed;
        EXPECT_TRUE(timed[k + 1]) << k + 1;
    }
    EXPECT_GT(untimed, 0); // some marks came at the edge
}

// Where the columns cannot tell where the mark lies, nothing is timed, and what does not agree with the
// revolution timed otherwise is refused.
TEST(MarkPositionsTest, TellsNothingWhereTheColumnsCannotPlaceTheMark)
{
    const double period = 10.3 * FrameGap;
    const auto timedCount = [](const std::vector<std::optional<double>>& timed) {
        return std::count_if(timed.begin(), timed.end(), [](const auto& t) { return t.has_value(); });
    };
    {
        MarkPositions positions; // a single column, the mark seen once it covers half of it
        const auto timed = run(positions, {period, 60.0 / period, 1, 1.0}, 30, 0.02, 0.013, 0.5);
        ASSERT_FALSE(timed.empty());
        EXPECT_EQ(timedCount(timed), 0);
    }
    {
        MarkPositions positions; // the mark moving along the columns covers them all at once
        std::vector<std::optional<double>> timed;
        for (int k = 0; k < 30; ++k)
            for (int f = 0; f < 10; ++f) {
                const double t = (k * 10 + f) * FrameGap * 1.03;
                std::vector<MarkPositions::Column> columns;
                for (int c = 0; c < 10; ++c)
                    columns.push_back({c, f == 0 ? Mark : f == 1 ? (Plain + Mark) / 2 : Plain});
                positions.frame(t, columns);
                if (f == 0)
                    timed.push_back(positions.markCame(true, 10 * FrameGap * 1.03, 0.02));
            }
        EXPECT_EQ(timedCount(timed), 0);
    }
    {
        MarkPositions positions; // the revolution timed otherwise says 5 % longer
        const auto timed = run(positions, {period, 60.0 / period}, 30, 0.5 * FrameGap, 0.013, 1.5, 1.05);
        ASSERT_GE(timed.size(), 28u);
        EXPECT_EQ(timedCount(timed), 0);
    }
    {
        MarkPositions positions; // other cells: the mark before was seen by cells that are gone
        const Disc disc{period, 60.0 / period};
        ASSERT_GT(timedCount(run(positions, disc, 10)), 5);
        std::vector<MarkPositions::Column> other = disc.frame(0.0);
        other.pop_back();
        positions.frame(10 * period, other);
        const auto timed = run(positions, disc, 3, 0.02, 10 * period + 0.013);
        ASSERT_FALSE(timed.empty());
        EXPECT_FALSE(timed.front());
    }
}
