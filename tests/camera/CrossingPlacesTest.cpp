// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/CrossingPlaces.h"

#include "FrameGap.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// Where a straight line between frames puts an edge that truly crossed at `place` of the gap: a sharp edge
// bends the line's share towards the middle.
double lineShare(double place)
{
    return 0.5 + 0.5 * std::tanh(3.0 * (place - 0.5)) / std::tanh(1.5);
}

// The true place of a crossing `frames` frames into a run, on a disc turning once every `framesPerRevolution`.
double trueFraction(double frames)
{
    return frames - std::floor(frames);
}

// Feeds `revolutions` rising edges of a steady disc and returns how far apart place()'s misses lie once it has
// learnt (a miss the same every time cancels in a revolution's time).
double missSpreadAfterLearning(CrossingPlaces& places, double framesPerRevolution, int revolutions, double& clock)
{
    double least = 1.0, most = -1.0;
    for (int k = 0; k < revolutions; ++k) {
        clock += framesPerRevolution * FrameGap;
        const double truth = trueFraction(clock / FrameGap);
        const double share = lineShare(truth);
        if (k >= 60) {
            const double miss = places.place(share, clock, FrameGap) - truth;
            least = std::min(least, miss);
            most = std::max(most, miss);
        }
        places.learn(share, clock, FrameGap);
    }
    return most - least;
}
} // namespace

TEST(CrossingPlaces, LearnsWhereEdgesTrulyCrossedFromHowTheLineSpreadThem)
{
    CrossingPlaces places;
    double clock = 1000.0;
    EXPECT_DOUBLE_EQ(places.place(0.3, clock, FrameGap), 0.3); // nothing learnt: the line's share stands
    // About 10, 12 and 16 frames a revolution: the line's misses spread over 0.2 of the gap, the places' over
    // less than a third of that.
    const double lineSpread = 2 * (lineShare(0.75) - 0.75);
    EXPECT_GT(lineSpread, 0.2);
    for (const double frames : {10.13, 12.21, 16.32}) {
        places.clear();
        EXPECT_LT(missSpreadAfterLearning(places, frames, 200, clock), lineSpread / 3) << frames;
    }
    // Marks of another revolution time, or seen at another frame rate, take the line's share until learnt anew.
    const double later = clock + 20 * FrameGap;
    EXPECT_DOUBLE_EQ(places.place(0.3, later, FrameGap), 0.3);
    EXPECT_DOUBLE_EQ(places.place(0.3, clock + 16.3 * FrameGap, 2 * FrameGap), 0.3);
    EXPECT_NE(places.place(0.3, clock + 16.3 * FrameGap, FrameGap), 0.3);
}

TEST(CrossingPlaces, CrossingsAtOnePlaceKeepTheLinesShare)
{
    // A revolution of a whole number of frames crosses at one place every time, give or take noise, or either
    // side of one frame; ordering such shares would turn noise into misses of a large part of the gap.
    for (const double place : {0.4, 0.998}) {
        CrossingPlaces places;
        double clock = 500.0;
        for (int k = 0; k < 100; ++k) {
            clock += 10 * FrameGap;
            const double noisy = place + 0.004 * ((k * 7) % 5 - 2);
            places.learn(noisy - std::floor(noisy), clock, FrameGap);
        }
        EXPECT_DOUBLE_EQ(places.place(0.41, clock + 10 * FrameGap, FrameGap), 0.41) << place;
        EXPECT_DOUBLE_EQ(places.place(0.001, clock + 10 * FrameGap, FrameGap), 0.001) << place;
    }
}

TEST(CrossingPlaces, FastRevolutionsAreTimedInRoundsThatEndWhereTheyBegan)
{
    // Half a frame over comes back every second revolution, a third every third, a whole number every one;
    // 10.13 comes back within a tenth of the gap after 7. Until 16 are seen, the latest of a like time, up to 8
    // and an even number. A slow disc is timed revolution by revolution, and so is the first of another speed.
    for (const auto& [frames, round] :
         std::initializer_list<std::pair<double, int>>{{10.5, 2}, {11.3333, 3}, {10.0, 1}, {10.13, 7}, {30.5, 0}}) {
        const int early = frames < 24 ? 2 : 0, later = frames < 24 ? 8 : 0;
        CrossingPlaces places;
        double clock = 500.0;
        for (int k = 0; k < 40; ++k) {
            clock += frames * FrameGap;
            if (k == 3 || k == 14) {
                EXPECT_EQ(places.roundOfRevolutions(clock, FrameGap), k == 3 ? early : later) << frames;
            }
            places.learn(lineShare(trueFraction(clock / FrameGap)), clock, FrameGap);
        }
        EXPECT_EQ(places.roundOfRevolutions(clock + frames * FrameGap, FrameGap), round) << frames;
        EXPECT_EQ(places.roundOfRevolutions(clock + 1.2 * frames * FrameGap, FrameGap), 0) << frames;
        // Their places are too few to order.
        if (round > 0 && round < 4) {
            EXPECT_DOUBLE_EQ(places.place(0.3, clock + frames * FrameGap, FrameGap), 0.3) << frames;
        }
    }
}
