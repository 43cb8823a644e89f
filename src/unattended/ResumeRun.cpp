// SPDX-License-Identifier: GPL-3.0-or-later
#include "unattended/ResumeRun.h"

#include "app/Clock.h"
#include "app/FileIo.h"
#include "data/DataImport.h"
#include "metering/LoggingEngine.h"
#include "metering/MeteringContext.h"
#include "metering/RecordLine.h"

#include <algorithm>

namespace {

// A record line is far shorter; more than this after the last line end is not an interrupted write.
constexpr qint64 LongestUnfinishedLine = 65536;

struct BackupState
{
    bool readable = false;
    bool rewrite = false;     // an unfinished line must go before records are appended
    qint64 completeBytes = 0; // the file up to its last complete line
    QString error;
};

QString unreadable(const QString& error)
{
    return QStringLiteral("Logging was not resumed: the disk backup of the interrupted run (DATASTOR.DTA) could "
                          "not be read whole, so it has been left as it is. Start logging from the logging screen "
                          "once you have kept a copy of it.\r\n") +
           error;
}

// The file, read back, must give exactly the bytes it holds up to its last line end; anything else means a
// damaged line in the middle, which appending would bury.
BackupState readBackup(MeteringContext& ctx)
{
    BackupState state;
    FileIo& files = ctx.services.files;
    const QString& path = ctx.paths.dataStore;
    ReadSummary read;
    const QString error = read_data_file(ctx, path, {}, &read, ReadPurpose::Resuming);

    const RecordLine lines(ctx);
    const QByteArray& endOfLine = lines.endOfLine();
    const qint64 size = files.size(path);
    const QByteArray tail = files.tail(path, std::min(size, LongestUnfinishedLine));
    const qsizetype lastEnd = endOfLine.isEmpty() ? -1 : tail.lastIndexOf(endOfLine);
    const qint64 unfinished = lastEnd < 0 ? tail.size() : tail.size() - lastEnd - endOfLine.size();
    if (lastEnd < 0 && size > LongestUnfinishedLine) {
        state.error = unreadable(error);
        return state;
    }
    DataArray& data = ctx.varGlobalDataArray;
    qint64 complete = read.recordBytes;
    if (unfinished > 0 && error.isEmpty() && data.count() > 0) {
        // The unfinished line happened to read as a record; its last field may be cut short, so it goes.
        complete -= lines.line(data.row(data.count())).size();
        data.dropNewest();
    }
    if (data.count() > 0 || size - unfinished > 0)
        complete += lines.header().size();
    // Read errors are expected only from the unfinished line itself.
    const bool onlyUnfinishedFailed = error.isEmpty() || unfinished > 0;
    if (complete != size - unfinished || !onlyUnfinishedFailed) {
        data.resetPointer();
        state.error = unreadable(error);
        return state;
    }
    state.readable = true;
    state.rewrite = unfinished > 0 && data.count() > 0;
    state.completeBytes = complete;
    return state;
}

// Replaces the backup by its complete lines in one atomic step: a crash during it leaves the old file. The
// bytes are the file's own, since the table may hold only the newest of its records.
QString rewriteBackup(MeteringContext& ctx, qint64 completeBytes)
{
    FileIo& files = ctx.services.files;
    const QByteArray bytes = files.tail(ctx.paths.dataStore, files.size(ctx.paths.dataStore)).left(completeBytes);
    std::unique_ptr<FileHandle> file;
    if (bytes.size() == completeBytes)
        file = files.open(ctx.paths.dataStore, FileIo::Mode::Truncate, FileIo::Commit::Atomic);
    if (!file || !file->write(bytes) || !file->close())
        return QStringLiteral("The unfinished last line of the disk backup could not be removed; the records "
                              "after the restart will follow it.\r\n");
    return QString();
}

} // namespace

QString ResumeComment(qint64 gapSeconds)
{
    gapSeconds = std::max<qint64>(gapSeconds, 0);
    return QStringLiteral("Resumed after restart; gap %1:%2:%3")
        .arg(gapSeconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(gapSeconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(gapSeconds % 60, 2, 10, QLatin1Char('0'));
}

ResumeOutcome resume_logging_run(MeteringContext& ctx, LoggingEngine& engine, const QDateTime& markedStart)
{
    ResumeOutcome outcome;
    DataArray& data = ctx.varGlobalDataArray;
    data.resetPointer();
    const bool backedUp = ctx.settings.WRITE_ARRAY_TO_DISK && ctx.services.files.exists(ctx.paths.dataStore);
    if (backedUp) {
        const BackupState backup = readBackup(ctx);
        if (!backup.readable) {
            outcome.message = backup.error;
            return outcome;
        }
        if (backup.rewrite)
            outcome.message += rewriteBackup(ctx, backup.completeBytes);
    }

    QDateTime start = markedStart;
    QDateTime lastSeen = markedStart;
    if (data.IsDataInMemory()) {
        const LogRecord& last = data.row(data.count());
        lastSeen = last.DateTime;
        start = last.DateTime.addSecs(-last.LoggingSeconds);
    } else if (ctx.settings.WRITE_ARRAY_TO_DISK) {
        outcome.message += QStringLiteral("The interrupted logging run left no records on disk; it continues from "
                                          "its start without them.\r\n");
    }
    const QDateTime now = ctx.services.clock.now();
    if (!start.isValid()) {
        // Neither records nor a readable note: the run can only begin again now.
        start = now;
        lastSeen = now;
    }
    engine.ResumeLogging(start, ResumeComment(lastSeen.secsTo(now)));
    outcome.resumed = true;
    return outcome;
}
