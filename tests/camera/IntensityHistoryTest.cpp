// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/IntensityHistory.h"

#include <gtest/gtest.h>

namespace {

TEST(IntensityHistory, KeepsExactlyTheWindowBeforeTheNewestSample)
{
    IntensityHistory h(30.0);
    for (int i = 0; i <= 40; ++i)
        h.add(100.0 + i, i, i % 10 == 0);
    // Samples at 10..40 s remain: the one exactly 30 s old stays, older ones go.
    ASSERT_EQ(h.samples().size(), 31u);
    EXPECT_EQ(h.samples().front().intensity, 10);
    EXPECT_EQ(h.samples().back().intensity, 40);
    EXPECT_EQ(h.revolutions(), 4); // at 10, 20, 30, 40
}

TEST(IntensityHistory, CrossingMidnightKeepsTimeRunningForward)
{
    IntensityHistory h(30.0);
    h.add(86390.0, 1, false);
    h.add(86399.5, 2, false);
    h.add(5.0, 3, true); // 15 s after the first sample, on the next day
    ASSERT_EQ(h.samples().size(), 3u);
    EXPECT_DOUBLE_EQ(h.samples()[2].time - h.samples()[0].time, 15.0);
    h.add(25.0, 4, false); // 35 s after the first: it leaves the window
    EXPECT_EQ(h.samples().front().intensity, 2);
}

TEST(IntensityHistory, ColumnsHoldTheRangeOfTheirFramesOldestFirst)
{
    IntensityHistory h(30.0);
    EXPECT_TRUE(h.columns(3).at(0).empty);
    // Window 0..30 s in three 10-second columns.
    h.add(0.0, 500, false);
    h.add(3.0, 900, true);
    h.add(9.9, 700, false);
    h.add(25.0, 1200, false);
    h.add(30.0, 1100, false);
    const std::vector<IntensityHistory::Column> c = h.columns(3);
    ASSERT_EQ(c.size(), 3u);
    EXPECT_FALSE(c[0].empty);
    EXPECT_EQ(c[0].low, 500);
    EXPECT_EQ(c[0].high, 900);
    EXPECT_TRUE(c[0].revolution);
    EXPECT_TRUE(c[1].empty);
    EXPECT_FALSE(c[1].revolution);
    // The newest sample falls on the right edge and still belongs to the last column.
    EXPECT_EQ(c[2].low, 1100);
    EXPECT_EQ(c[2].high, 1200);
    EXPECT_TRUE(h.columns(0).empty());
}

TEST(IntensityHistory, ClearStartsAgainFromNothing)
{
    IntensityHistory h(30.0);
    h.add(50.0, 1, true);
    h.clear();
    EXPECT_TRUE(h.samples().empty());
    h.add(10.0, 2, false); // earlier clock time than before the clear: no stale reference
    h.add(20.0, 3, false);
    EXPECT_EQ(h.samples().size(), 2u);
    EXPECT_DOUBLE_EQ(h.samples().back().time, 10.0);
}

} // namespace
