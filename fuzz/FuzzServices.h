// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Services for the fuzz targets: files in memory, a clock that only moves when a wait asks it to, dialogs
// that answer OK, and an abort on a broken invariant so the fuzzer reports it.
#include "app/AppContext.h"
#include "app/Clock.h"
#include "app/Dialogs.h"
#include "app/EventPump.h"
#include "app/FileIo.h"

#include <QHash>
#include <cstdlib>

class MemoryFileIo : public FileIo
{
public:
    class Handle : public FileHandle
    {
    public:
        Handle(MemoryFileIo& io, QString path, bool reading) : m_io(io), m_path(std::move(path))
        {
            if (reading)
                m_data = io.files.value(m_path);
        }
        bool write(const QByteArray& bytes) override
        {
            m_data += bytes;
            return true;
        }
        bool readLine(QByteArray& line) override
        {
            if (m_pos >= m_data.size())
                return false;
            qsizetype end = m_data.indexOf('\n', m_pos);
            if (end < 0)
                end = m_data.size();
            line = m_data.mid(m_pos, end - m_pos);
            m_pos = end + 1;
            if (line.endsWith('\r'))
                line.chop(1);
            return true;
        }
        bool atEnd() override { return m_pos >= m_data.size(); }
        bool sync() override
        {
            m_io.files[m_path] = m_data;
            return true;
        }
        bool close() override
        {
            if (m_writing)
                m_io.files[m_path] = m_data;
            return true;
        }
        bool m_writing = false;

    private:
        MemoryFileIo& m_io;
        QString m_path;
        QByteArray m_data;
        qsizetype m_pos = 0;
    };

    std::unique_ptr<FileHandle> open(const QString& path, Mode mode, Commit, Access) override
    {
        if (mode == Mode::Read && !files.contains(path))
            return nullptr;
        auto h = std::make_unique<Handle>(*this, path, mode != Mode::Truncate);
        h->m_writing = mode != Mode::Read;
        return h;
    }
    bool remove(const QString& path, Removal /*removal*/) override
    {
        files.remove(path);
        return true;
    }
    bool rename(const QString& from, const QString& to) override
    {
        if (files.contains(to) || !files.contains(from))
            return false;
        files.insert(to, files.take(from));
        return true;
    }
    bool exists(const QString& path) override { return files.contains(path); }
    qint64 size(const QString& path) override { return files.value(path).size(); }
    QByteArray tail(const QString& path, qint64 count) override { return files.value(path).right(count); }

    QHash<QString, QByteArray> files;
};

class StepClock : public Clock
{
public:
    double timer() override { return seconds; }
    QDateTime now() override { return QDateTime(QDate(2009, 1, 15), QTime(9, 0)); }
    double seconds = 100.0;
};

class StepPump : public EventPump
{
public:
    explicit StepPump(StepClock& clock) : m_clock(clock) {}
    void processEvents() override {}
    void waitForEvents(int milliseconds) override { m_clock.seconds += milliseconds / 1000.0; }

private:
    StepClock& m_clock;
};

class SilentDialogs : public Dialogs
{
public:
    Answer message(const QString&, Buttons, Icon, const QString&) override { return Answer::Ok; }
    QString saveFileName(const FileRequest&) override { return {}; }
    QString openFileName(const FileRequest&) override { return {}; }
    void notice(const QString&, Icon, const QString&) override {}
};

// The services of one fuzz run: a clock that only steps when waited on, no one to answer, files in memory.
struct FuzzServices
{
    StepClock clock;
    StepPump pump{clock};
    SilentDialogs dialogs;
    MemoryFileIo files;

    Services services() { return Services{clock, pump, dialogs, files}; }
};

inline void check(bool condition)
{
    if (!condition)
        std::abort();
}
