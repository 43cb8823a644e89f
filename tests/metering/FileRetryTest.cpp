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
