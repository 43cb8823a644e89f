// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FileIo.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

// The program's (and Qt's) calls of the C library's sync functions land here first, are counted, then done.
namespace {
int syncCalls = 0;
}
extern "C" int fdatasync(int fd)
{
    return ++syncCalls, static_cast<int>(::syscall(SYS_fdatasync, fd));
}
extern "C" int fsync(int fd)
{
    return ++syncCalls, static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace {

TEST(DiskFileIo, WrittenFilesReachTheDiskBeforeCloseReportsSuccess)
{
    QTemporaryDir dir;
    auto syncs = [&](DiskFileIo::Sync sync, FileIo::Mode mode, FileIo::Commit commit = FileIo::Commit::InPlace) {
        auto file = DiskFileIo(sync).open(dir.filePath(QStringLiteral("DATASTOR.DTA")), mode, commit);
        const bool written = mode == FileIo::Mode::Read || file->write("line\r\n");
        syncCalls = 0;
        EXPECT_TRUE(file->close() && written);
        return syncCalls;
    };
    using M = FileIo::Mode;
    EXPECT_EQ(syncs(DiskFileIo::Sync::ToDisk, M::Truncate), 1);
    EXPECT_EQ(syncs(DiskFileIo::Sync::ToDisk, M::Append), 1) << "each backup append";
    EXPECT_EQ(syncs(DiskFileIo::Sync::ToDisk, M::Truncate, FileIo::Commit::Atomic), 2) << "the file, then its folder";
    EXPECT_EQ(syncs(DiskFileIo::Sync::ToDisk, M::Read), 0);
    EXPECT_EQ(syncs(DiskFileIo::Sync::None, M::Append), 0);
}

} // namespace
