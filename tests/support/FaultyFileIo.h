// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/FileIo.h"

#include <QHash>
#include <optional>

// The real file system with failures on demand: "fails twice, then succeeds" per path and operation.
// A count of -1 fails for ever. Attempts are counted whether they fail or not. It also keeps what has reached
// the disk of each file changed since the last power cut: its bytes at its last sync (a handle's sync, a
// close that syncs, an atomic replacement), moved by a rename, which syncs the folder.
class FaultyFileIo : public FileIo
{
public:
    enum class Op
    {
        Open,
        Write,
        Read,
        Close,
        Remove,
        Sync,
        Rename
    };

    std::unique_ptr<FileHandle> open(const QString& path, Mode mode, Commit commit = Commit::InPlace,
                                     Access access = Access::Shared) override;
    bool remove(const QString& path, Removal removal = Removal::Cached) override;
    // Fails by the path of the file renamed.
    bool rename(const QString& from, const QString& to) override;
    bool exists(const QString& path) override { return m_disk.exists(path); }
    qint64 size(const QString& path) override { return m_disk.size(path); }
    QByteArray tail(const QString& path, qint64 count) override { return m_disk.tail(path, count); }

    void fail(Op op, const QString& path, int times = -1) { m_failures[key(op, path)] = times; }
    int attempts(Op op, const QString& path) const { return m_attempts.value(key(op, path)); }
    // True when this attempt must fail; counts it.
    bool shouldFail(Op op, const QString& path);

    // From cutPower(), or from the given operation on (the program may be in the middle of a rewrite then), every
    // operation fails, so the dying program's destructors rescue nothing. powerOn() puts every file changed since
    // back to what had reached the disk, as the next start finds it; after a kill, whose writes the system keeps,
    // the files stay as they are.
    void cutPower() { m_powerOff = true; }
    void cutPowerAtOperation(int operations) { m_operationsToCut = operations; }
    bool powerIsOff() const { return m_powerOff; }
    enum class Cut
    {
        PowerCut,
        Kill
    };
    void powerOn(Cut cut = Cut::PowerCut);
    void reachedDisk(const QString& path) { m_onDisk[path] = bytesNow(path); }

private:
    // The first change since a cut: what is there now had reached the disk.
    void changing(const QString& path);
    static std::optional<QByteArray> bytesNow(const QString& path);
    static QString key(Op op, const QString& path) { return QString::number(int(op)) + QLatin1Char('|') + path; }
    DiskFileIo m_disk;
    QHash<QString, int> m_failures;
    QHash<QString, int> m_attempts;
    QHash<QString, std::optional<QByteArray>> m_onDisk; // no bytes: no file
    bool m_powerOff = false;
    int m_operationsToCut = 0;
};
