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

// The wrap itself is checked through a logging run; here the sequence numbers and the import's store().
TEST(DataArray, SequencesFollowTheWrapAndStoreFillsFromRowOneWithinTheTable)
{
    DataArray a(3);
    for (int i = 1; i <= 5; ++i)
        a.append(numbered(i)); // wrapped: 3, 4, 5
    EXPECT_EQ(std::tuple(a.count(), a.pointer(), a.firstSequence(), a.lastSequence(), a.row(1).PulsesThisInterval),
              std::tuple(3, 4, 3, 5, 3));
    EXPECT_TRUE(a.store(1, numbered(10)));
    EXPECT_EQ(std::tuple(a.pointer(), a.row(1).PulsesThisInterval), std::tuple(2, 10));
    EXPECT_TRUE(a.store(2, numbered(11)) && a.store(3, numbered(12)));
    EXPECT_FALSE(a.store(4, numbered(13)));
    EXPECT_EQ(a.pointer(), 4);
    a.resetPointer();
    EXPECT_TRUE(!a.IsDataInMemory() && a.pointer() == 1);
}
