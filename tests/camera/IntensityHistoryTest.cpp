// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/IntensityHistory.h"

#include <gtest/gtest.h>

TEST(IntensityHistory, KeepsTheWindowBeforeTheNewestSampleAcrossMidnightAndColumnsHoldTheirRange)
{
    IntensityHistory h(30.0);
    EXPECT_TRUE(h.columns(3).at(0).empty);
    // Window 0..30 s in three 10-second columns; the sample 30 s before the newest stays.
    const std::tuple<double, qint32, bool> samples[] = {{86390.0, 1, false}, {0.0, 500, false},  {3.0, 900, true},
                                                        {9.9, 700, false},   {25.0, 1200, true}, {30.0, 1100, false}};
    for (const auto& [time, value, revolution] : samples)
        h.add(time, value, revolution); // the first is 10 s before midnight: 40 s old at the end
    ASSERT_EQ(h.samples().size(), 5u);
    EXPECT_DOUBLE_EQ(h.samples()[1].time - h.samples()[0].time, 3.0);
    EXPECT_EQ(h.revolutions(), 2);
    const std::vector<IntensityHistory::Column> c = h.columns(3);
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(std::tuple(c[0].empty, c[0].low, c[0].high, c[0].revolution), std::tuple(false, 500, 900, true));
    EXPECT_TRUE(c[1].empty && !c[1].revolution);
    // The newest sample falls on the right edge and still belongs to the last column.
    EXPECT_EQ(std::pair(c[2].low, c[2].high), std::pair(1100, 1200));
    EXPECT_TRUE(h.columns(0).empty());

    h.clear();
    h.add(10.0, 5, false); // earlier clock time than before the clear: no stale reference
    h.add(20.0, 6, false);
    ASSERT_EQ(h.samples().size(), 2u);
    EXPECT_DOUBLE_EQ(h.samples().back().time, 10.0);
}
