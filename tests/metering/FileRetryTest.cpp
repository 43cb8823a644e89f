// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/FileRetry.h"

#include "support/TestContext.h"

#include <gtest/gtest.h>

// The readers and writers of data files show the retries, waits and events of the factory rules; this is the one
// rule they never meet.
TEST(FileRetry, ARuleOfNoTriesStillTriesOnce)
{
    TestContext t;
    int calls = 0;
    EXPECT_FALSE(retryFileOperation(t.ctx, {0, 0}, [&] { return ++calls > 1; }));
    EXPECT_EQ(calls, 1);
}
