// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FileIo.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The data reached the disk itself, not only the system's cache: a power cut after this loses none of it.
// A file system that cannot sync (EINVAL: a pipe, some special files) has nothing more to offer. fsync rather than
// fdatasync: it writes the file's times too, which takes the file off the system's list of changed files. After
// fdatasync the times keep it there, and the system's own writing-back writes its pages again between our syncs:
// half as many page writes more for an appended journal.
bool syncToDisk(int descriptor)
{
    return descriptor < 0 || ::fsync(descriptor) == 0 || errno == EINVAL;
}

// The rename that put a replaced file in place lives in its folder's entry, which needs a sync of its own.
bool syncFolderOf(const QString& path)
{
    const int folder = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (folder < 0)
        return false;
    const bool synced = ::fsync(folder) == 0 || errno == EINVAL;
    ::close(folder);
    return synced;
}

class QFileHandle : public FileHandle
{
public:
    QFileHandle(std::unique_ptr<QFileDevice> device, DiskFileIo::Sync sync) : m_device(std::move(device)), m_sync(sync)
    {
    }

    bool write(const QByteArray& bytes) override { return m_device->write(bytes) == bytes.size(); }

    bool readLine(QByteArray& line) override
    {
        if (m_device->atEnd())
            return false;
        line = m_device->readLine();
        if (line.isEmpty() && m_device->error() != QFileDevice::NoError)
            return false;
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        return true;
    }

    bool atEnd() override { return m_device->atEnd(); }

    bool sync() override { return m_device->flush() && syncToDisk(m_device->handle()); }

    bool close() override
    {
        const bool sync = m_sync == DiskFileIo::Sync::ToDisk && m_device->isWritable();
        if (auto* save = dynamic_cast<QSaveFile*>(m_device.get())) {
            // commit() syncs the new content before it renames it over the old file.
            const QString path = save->fileName();
            return save->commit() && (!sync || syncFolderOf(path));
        }
        bool done = m_device->flush();
        if (done && sync)
            done = syncToDisk(m_device->handle());
        m_device->close();
        return done && m_device->error() == QFileDevice::NoError;
    }

private:
    std::unique_ptr<QFileDevice> m_device;
    DiskFileIo::Sync m_sync;
};

} // namespace

std::unique_ptr<FileHandle> DiskFileIo::open(const QString& path, Mode mode, Commit commit, Access access)
{
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (mode == Mode::Truncate && commit == Commit::Atomic) {
        auto save = std::make_unique<QSaveFile>(path);
        // The temporary file is narrowed before a byte goes in, so a password never sits in a readable file.
        if (!save->open(QIODevice::WriteOnly) || (access == Access::OwnerOnly && !save->setPermissions(ownerOnly)))
            return nullptr;
        return std::make_unique<QFileHandle>(std::move(save), m_sync);
    }
    auto file = std::make_unique<QFile>(path);
    if (commit == Commit::Journal) {
        if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
            return nullptr;
        return std::make_unique<QFileHandle>(std::move(file), Sync::None);
    }
    QIODevice::OpenMode flags;
    switch (mode) {
    case Mode::Truncate:
        flags = QIODevice::WriteOnly | QIODevice::Truncate;
        break;
    case Mode::Append:
        flags = QIODevice::WriteOnly | QIODevice::Append;
        break;
    case Mode::Read:
        flags = QIODevice::ReadOnly;
        break;
    }
    if (!file->open(flags))
        return nullptr;
    if (access == Access::OwnerOnly && mode != Mode::Read && !file->setPermissions(ownerOnly))
        return nullptr;
    return std::make_unique<QFileHandle>(std::move(file), m_sync);
}

bool DiskFileIo::remove(const QString& path, Removal removal)
{
    if (!QFile::exists(path))
        return true;
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
    return QFile::remove(path) && (removal == Removal::Cached || m_sync == Sync::None || syncFolderOf(path));
}

bool DiskFileIo::rename(const QString& from, const QString& to)
{
    // QFile never renames over an existing file; the new name must reach the disk like any written file.
    return QFile::rename(from, to) && (m_sync == Sync::None || syncFolderOf(to));
}

bool DiskFileIo::exists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

qint64 DiskFileIo::size(const QString& path)
{
    return QFileInfo(path).size();
}

QByteArray DiskFileIo::tail(const QString& path, qint64 count)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(std::max<qint64>(0, file.size() - count)))
        return {};
    return file.read(count);
}
