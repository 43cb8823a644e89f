// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/FileRetry.h"

#include "support/TestContext.h"

#include <gtest/gtest.h>

TEST(FileRetry, StopsAtFirstSuccessWaitingAfterEachFailure)
{
    // Rule, the call that succeeds (0: none), result, calls made, seconds waited.
    const std::tuple<RetryRule, int, bool, int, double> cases[] = {
        {{3, 10}, 3, true, 3, 2.0}, {{3, 10}, 0, false, 3, 3.0}, {{0, 0}, 1, true, 1, 0.0}};
    for (const auto& [rule, succeedsAt, result, expectedCalls, seconds] : cases) {
        TestContext t;
        int calls = 0;
        const double start = t.clock.timer();
        EXPECT_EQ(retryFileOperation(t.ctx, rule, [&] { return ++calls == succeedsAt; }), result);
        EXPECT_EQ(calls, expectedCalls);
        EXPECT_NEAR(t.clock.timer() - start, seconds, 0.15);
        EXPECT_EQ(t.pump.waits > 0, seconds > 0) << "events are processed during the wait";
    }
}

TEST(FileRetry, GuardKeepsASecondWriterOfTheSameFileAway)
{
    TestContext t;
    const QString path = t.path("DATASTOR.DTA");
    {
        FileInUseGuard first(t.ctx.filesInUse, path);
        ASSERT_TRUE(first.acquired());
        // Another spelling of the same path is the same file.
        FileInUseGuard second(t.ctx.filesInUse, t.dir.path() + "/./DATASTOR.DTA");
        EXPECT_FALSE(second.acquired());
        FileInUseGuard other(t.ctx.filesInUse, t.path("DIFFLOG.DTA"));
        EXPECT_TRUE(other.acquired());
    }
    FileInUseGuard again(t.ctx.filesInUse, path);
    EXPECT_TRUE(again.acquired()) << "released with the first guard";
}
