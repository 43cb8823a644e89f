// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/FaultyFileIo.h"

#include <QFile>
#include <utility>

namespace {

struct FaultyHandle : FileHandle
{
    FaultyHandle(FaultyFileIo& io, QString path, std::unique_ptr<FileHandle> inner, bool closeSyncs)
        : m_io(io), m_path(std::move(path)), m_inner(std::move(inner)), m_closeSyncs(closeSyncs)
    {
    }
    bool write(const QByteArray& bytes) override
    {
        return !m_io.shouldFail(FaultyFileIo::Op::Write, m_path) && m_inner->write(bytes);
    }
    bool readLine(QByteArray& line) override
    {
        return !m_io.shouldFail(FaultyFileIo::Op::Read, m_path) && m_inner->readLine(line);
    }
    bool atEnd() override { return m_inner->atEnd(); }
    bool sync() override { return synced(!m_io.shouldFail(FaultyFileIo::Op::Sync, m_path) && m_inner->sync()); }
    bool close() override
    {
        const bool ok = m_inner->close();
        const bool closed = !m_io.shouldFail(FaultyFileIo::Op::Close, m_path) && ok;
        return m_closeSyncs ? synced(closed) : closed;
    }
    bool synced(bool done)
    {
        if (done)
            m_io.reachedDisk(m_path);
        return done;
    }
    FaultyFileIo& m_io;
    QString m_path;
    std::unique_ptr<FileHandle> m_inner;
    bool m_closeSyncs;
};

} // namespace

bool FaultyFileIo::shouldFail(Op op, const QString& path)
{
    const QString k = key(op, path);
    m_attempts[k] += 1;
    if (m_operationsToCut > 0 && --m_operationsToCut == 0)
        m_powerOff = true;
    if (m_powerOff)
        return true;
    auto it = m_failures.find(k);
    if (it == m_failures.end() || it.value() == 0)
        return false;
    if (it.value() > 0)
        it.value() -= 1;
    return true;
}

std::unique_ptr<FileHandle> FaultyFileIo::open(const QString& path, Mode mode, Commit commit, Access access)
{
    changing(path);
    auto inner = shouldFail(Op::Open, path) ? nullptr : m_disk.open(path, mode, commit, access);
    // A journal's close does not sync (DiskFileIo::open).
    const bool closeSyncs = mode != Mode::Read && commit != Commit::Journal;
    return inner ? std::make_unique<FaultyHandle>(*this, path, std::move(inner), closeSyncs) : nullptr;
}

bool FaultyFileIo::remove(const QString& path, Removal removal)
{
    // Only a lasting removal syncs the folder; another file comes back after a cut, as it may on a real disk.
    changing(path);
    if (shouldFail(Op::Remove, path) || !m_disk.remove(path, removal))
        return false;
    if (removal == Removal::Lasting)
        m_onDisk[path] = std::nullopt;
    return true;
}

bool FaultyFileIo::rename(const QString& from, const QString& to)
{
    changing(from);
    if (shouldFail(Op::Rename, from) || !m_disk.rename(from, to))
        return false;
    m_onDisk[to] = std::exchange(m_onDisk[from], std::nullopt);
    return true;
}

void FaultyFileIo::changing(const QString& path)
{
    if (!m_onDisk.contains(path))
        m_onDisk[path] = bytesNow(path);
}

std::optional<QByteArray> FaultyFileIo::bytesNow(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? std::optional(file.readAll()) : std::nullopt;
}

void FaultyFileIo::powerOn(Cut cut)
{
    for (auto it = m_onDisk.cbegin(); cut == Cut::PowerCut && it != m_onDisk.cend(); ++it) {
        QFile file(it.key());
        if (!it.value())
            file.remove();
        else if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(*it.value());
    }
    m_onDisk.clear();
    m_powerOff = false;
}
