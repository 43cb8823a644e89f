// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/FaultyFileIo.h"

namespace {

struct FaultyHandle : FileHandle
{
    FaultyHandle(FaultyFileIo& io, QString path, std::unique_ptr<FileHandle> inner)
        : m_io(io), m_path(std::move(path)), m_inner(std::move(inner))
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
    bool sync() override { return !m_io.shouldFail(FaultyFileIo::Op::Sync, m_path) && m_inner->sync(); }
    bool close() override
    {
        const bool ok = m_inner->close();
        return !m_io.shouldFail(FaultyFileIo::Op::Close, m_path) && ok;
    }
    FaultyFileIo& m_io;
    QString m_path;
    std::unique_ptr<FileHandle> m_inner;
};

} // namespace

bool FaultyFileIo::shouldFail(Op op, const QString& path)
{
    const QString k = key(op, path);
    m_attempts[k] += 1;
    auto it = m_failures.find(k);
    if (it == m_failures.end() || it.value() == 0)
        return false;
    if (it.value() > 0)
        it.value() -= 1;
    return true;
}

std::unique_ptr<FileHandle> FaultyFileIo::open(const QString& path, Mode mode, Commit commit, Access access)
{
    auto inner = shouldFail(Op::Open, path) ? nullptr : m_disk.open(path, mode, commit, access);
    return inner ? std::make_unique<FaultyHandle>(*this, path, std::move(inner)) : nullptr;
}

bool FaultyFileIo::remove(const QString& path)
{
    return !shouldFail(Op::Remove, path) && m_disk.remove(path);
}

bool FaultyFileIo::rename(const QString& from, const QString& to)
{
    return !shouldFail(Op::Rename, from) && m_disk.rename(from, to);
}
