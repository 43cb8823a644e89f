// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/DataArray.h"

#include <gtest/gtest.h>

namespace {
LogRecord numbered(int n)
{
    LogRecord r;
    r.PulsesThisInterval = n;
    return r;
}
} // namespace

TEST(DataArray, KeepsTheNewestRecordsOldestFirstAcrossTheWrap)
{
    DataArray a(1000);
    for (int i = 1; i <= 2500; ++i)
        a.append(numbered(i));
    EXPECT_EQ(a.count(), 1000);
    EXPECT_EQ(a.pointer(), 1001);
    EXPECT_TRUE(a.IsDataInMemory());
    for (int r = 1; r <= 1000; ++r)
        ASSERT_EQ(a.row(r).PulsesThisInterval, 1500 + r);
    EXPECT_EQ(a.firstSequence(), 1501);
    EXPECT_EQ(a.lastSequence(), 2500);
}

TEST(DataArray, StoreFillsFromRowOneAndRefusesRowsBeyondTheTable)
{
    DataArray a(3);
    for (int i = 1; i <= 5; ++i)
        a.append(numbered(i)); // wrapped: 3, 4, 5
    EXPECT_TRUE(a.store(1, numbered(10)));
    EXPECT_EQ(a.pointer(), 2);
    EXPECT_EQ(a.row(1).PulsesThisInterval, 10);
    EXPECT_TRUE(a.store(2, numbered(11)));
    EXPECT_TRUE(a.store(3, numbered(12)));
    EXPECT_FALSE(a.store(4, numbered(13)));
    EXPECT_EQ(a.pointer(), 4);
    a.resetPointer();
    EXPECT_FALSE(a.IsDataInMemory());
    EXPECT_EQ(a.pointer(), 1);
}
