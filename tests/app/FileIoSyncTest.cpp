// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FileIo.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

// The program's (and Qt's) calls of the C library's sync functions land here first, are counted, then done.
static int syncCalls = 0;
extern "C" int fdatasync(int fd)
{
    return ++syncCalls, static_cast<int>(::syscall(SYS_fdatasync, fd));
}
extern "C" int fsync(int fd)
{
    return ++syncCalls, static_cast<int>(::syscall(SYS_fsync, fd));
}

TEST(DiskFileIo, WrittenFilesReachTheDiskBeforeCloseReportsSuccess)
{
    QTemporaryDir dir;
    auto syncs = [&](FileIo::Mode mode, FileIo::Commit commit) {
        auto file = DiskFileIo().open(dir.filePath(QStringLiteral("DATASTOR.DTA")), mode, commit);
        const bool written = mode == FileIo::Mode::Read || file->write("line\r\n");
        syncCalls = 0;
        EXPECT_TRUE(file->close() && written);
        return syncCalls;
    };
    EXPECT_EQ(syncs(FileIo::Mode::Append, FileIo::Commit::InPlace), 1) << "each backup append";
    EXPECT_EQ(syncs(FileIo::Mode::Truncate, FileIo::Commit::Atomic), 2) << "the live file, then its folder";
    EXPECT_EQ(syncs(FileIo::Mode::Read, FileIo::Commit::InPlace), 0);
    const auto removalSyncs = [&](FileIo::Removal removal) {
        syncs(FileIo::Mode::Truncate, FileIo::Commit::InPlace);
        syncCalls = 0;
        EXPECT_TRUE(DiskFileIo().remove(dir.filePath(QStringLiteral("DATASTOR.DTA")), removal));
        return syncCalls;
    };
    EXPECT_EQ(removalSyncs(FileIo::Removal::Lasting), 1) << "the run marker's folder";
    EXPECT_EQ(removalSyncs(FileIo::Removal::Cached), 0);
}
