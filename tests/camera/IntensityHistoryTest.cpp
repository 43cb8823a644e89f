// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/IntensityHistory.h"

#include <gtest/gtest.h>

TEST(IntensityHistory, KeepsExactlyTheWindowBeforeTheNewestSample)
{
    IntensityHistory h(30.0);
    for (int i = 0; i <= 40; ++i)
        h.add(100.0 + i, i, i % 10 == 0);
    // Samples at 10..40 s remain: the one exactly 30 s old stays, older ones go.
    ASSERT_EQ(h.samples().size(), 31u);
    EXPECT_EQ(h.samples().front().intensity, 10);
    EXPECT_EQ(h.revolutions(), 4); // at 10, 20, 30, 40
}

TEST(IntensityHistory, MidnightKeepsTimeRunningForwardAndClearForgetsTheReference)
{
    IntensityHistory h(30.0);
    h.add(86390.0, 1, false);
    h.add(86399.5, 2, false);
    h.add(5.0, 3, true); // 15 s after the first sample, on the next day
    EXPECT_DOUBLE_EQ(h.samples()[2].time - h.samples()[0].time, 15.0);
    h.add(25.0, 4, false); // 35 s after the first: it leaves the window
    EXPECT_EQ(h.samples().front().intensity, 2);

    h.clear();
    h.add(10.0, 5, false); // earlier clock time than before the clear: no stale reference
    h.add(20.0, 6, false);
    ASSERT_EQ(h.samples().size(), 2u);
    EXPECT_DOUBLE_EQ(h.samples().back().time, 10.0);
}

TEST(IntensityHistory, ColumnsHoldTheRangeOfTheirFramesOldestFirst)
{
    IntensityHistory h(30.0);
    EXPECT_TRUE(h.columns(3).at(0).empty);
    // Window 0..30 s in three 10-second columns.
    const std::tuple<double, qint32, bool> samples[] = {
        {0.0, 500, false}, {3.0, 900, true}, {9.9, 700, false}, {25.0, 1200, false}, {30.0, 1100, false}};
    for (const auto& [time, value, revolution] : samples)
        h.add(time, value, revolution);
    const std::vector<IntensityHistory::Column> c = h.columns(3);
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(std::tuple(c[0].empty, c[0].low, c[0].high, c[0].revolution), std::tuple(false, 500, 900, true));
    EXPECT_TRUE(c[1].empty);
    EXPECT_FALSE(c[1].revolution);
    // The newest sample falls on the right edge and still belongs to the last column.
    EXPECT_EQ(std::pair(c[2].low, c[2].high), std::pair(1100, 1200));
    EXPECT_TRUE(h.columns(0).empty());
}
