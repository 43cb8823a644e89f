// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/FileRetry.h"

#include "support/TestContext.h"

#include <gtest/gtest.h>

TEST(FileRetry, StopsAtFirstSuccessAndWaitsAfterEachFailure)
{
    TestContext t;
    int calls = 0;
    const double start = t.clock.timer();
    EXPECT_TRUE(retryFileOperation(t.ctx, {3, 10}, [&] { return ++calls == 3; }));
    EXPECT_EQ(calls, 3);
    // Two failed attempts, one second each, events processed during the wait.
    EXPECT_NEAR(t.clock.timer() - start, 2.0, 0.15);
    EXPECT_GT(t.pump.waits, 0);
}

TEST(FileRetry, HopelessOperationCostsEveryTryAndEveryDelay)
{
    TestContext t;
    int calls = 0;
    const double start = t.clock.timer();
    EXPECT_FALSE(retryFileOperation(t.ctx, {3, 10}, [&] {
        ++calls;
        return false;
    }));
    EXPECT_EQ(calls, 3);
    EXPECT_NEAR(t.clock.timer() - start, 3.0, 0.15);
}

TEST(FileRetry, ZeroTriesStillMakesOneAttempt)
{
    TestContext t;
    int calls = 0;
    EXPECT_TRUE(retryFileOperation(t.ctx, {0, 0}, [&] { return ++calls == 1; }));
    EXPECT_EQ(calls, 1);
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
        EXPECT_TRUE(t.ctx.filesInUse.contains(path));
    }
    EXPECT_FALSE(t.ctx.filesInUse.contains(path));
    FileInUseGuard again(t.ctx.filesInUse, path);
    EXPECT_TRUE(again.acquired());
}

TEST(FileRetry, WriterReachedDuringTheWaitSeesTheFileInUse)
{
    TestContext t;
    const QString path = t.path("LIVEDATA.DTA");
    bool secondAcquired = true;
    bool reentered = false;
    t.pump.onEvents = [&] {
        if (reentered)
            return;
        reentered = true;
        FileInUseGuard second(t.ctx.filesInUse, path);
        secondAcquired = second.acquired();
    };
    FileInUseGuard first(t.ctx.filesInUse, path);
    int calls = 0;
    retryFileOperation(t.ctx, {2, 1}, [&] { return ++calls == 2; });
    EXPECT_TRUE(reentered);
    EXPECT_FALSE(secondAcquired);
}
