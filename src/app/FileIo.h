// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

// One open file, written or read through the file seam.
class FileHandle
{
public:
    virtual ~FileHandle() = default;
    // Writes all bytes in one call; false when not all of them went out.
    virtual bool write(const QByteArray& bytes) = 0;
    // Next line without its CR LF or LF; false at end of file or on error (see atEnd()).
    virtual bool readLine(QByteArray& line) = 0;
    virtual bool atEnd() = 0;
    // What was written reaches the disk itself, not only the system's cache (one fsync).
    virtual bool sync() = 0;
    // Flushes and closes; false when the data could not be committed.
    virtual bool close() = 0;
};

// The file system as the data and configuration writers see it, so tests can make operations fail.
class FileIo
{
public:
    enum class Mode
    {
        Truncate,
        Append,
        Read
    };
    // Truncate writes go to a temporary file that replaces the target atomically on close. A Journal is
    // appended to with each write handed straight to the system, so it outlives a killed process, while only
    // sync() takes it to the disk: the caller decides how often a storage card is made to write.
    enum class Commit
    {
        InPlace,
        Atomic,
        Journal
    };
    // OwnerOnly files are readable and writable by their owner alone from the moment they exist.
    enum class Access
    {
        Shared,
        OwnerOnly
    };

    // Lasting deletions reach the disk before remove() returns, for a file whose return after a power cut would
    // be taken for a meaning (a logging run going on); others are left to the system.
    enum class Removal
    {
        Cached,
        Lasting
    };

    virtual ~FileIo() = default;
    virtual std::unique_ptr<FileHandle> open(const QString& path, Mode mode, Commit commit = Commit::InPlace,
                                             Access access = Access::Shared) = 0;
    // Deletes even a read-only file; true when the file is gone afterwards.
    virtual bool remove(const QString& path, Removal removal = Removal::Cached) = 0;
    // Gives the file another name; false, with nothing changed, when that name is taken already.
    virtual bool rename(const QString& from, const QString& to) = 0;
    // True for an existing ordinary file (not a directory, not hidden).
    virtual bool exists(const QString& path) = 0;
    virtual qint64 size(const QString& path) = 0;
    // The last count bytes of the file (fewer when it is shorter; empty when it cannot be read).
    virtual QByteArray tail(const QString& path, qint64 count) = 0;
};

// The real file system. Every written file is synced to the disk when it is closed, before the write counts
// as done; Sync::None leaves that to the system (for measuring what the sync costs).
class DiskFileIo : public FileIo
{
public:
    enum class Sync
    {
        ToDisk,
        None
    };
    explicit DiskFileIo(Sync sync = Sync::ToDisk) : m_sync(sync) {}

    std::unique_ptr<FileHandle> open(const QString& path, Mode mode, Commit commit = Commit::InPlace,
                                     Access access = Access::Shared) override;
    bool remove(const QString& path, Removal removal = Removal::Cached) override;
    bool rename(const QString& from, const QString& to) override;
    bool exists(const QString& path) override;
    qint64 size(const QString& path) override;
    QByteArray tail(const QString& path, qint64 count) override;

private:
    Sync m_sync;
};
