// SPDX-License-Identifier: GPL-3.0-or-later
#include "unattended/ResumeRun.h"

#include "app/Clock.h"
#include "app/FileIo.h"
#include "data/DataImport.h"
#include "metering/EarlierBackup.h"
#include "metering/LoggingEngine.h"
#include "metering/MeteringContext.h"
#include "metering/RecordLine.h"

#include <algorithm>
#include <optional>

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

// HH:MM:SS, hours growing beyond two digits when needed.
QString duration(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 0);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString leftAsItIs(const QString& why)
{
    return why + QStringLiteral(" It has been left as it is. Start logging from the logging screen once you have "
                                "kept a copy of it.\r\n");
}

// Whether the backup that begins with this record was written by the run the marker names.
bool isTheRunsOwn(MeteringContext& ctx, const RunMarker::UnfinishedRun& run, const LogRecord& first)
{
    if (!run.start.isValid())
        return true; // nothing to tell it by
    // Whole seconds on both sides may put the two one second apart. Runs follow one another, and one that
    // logged a record lasted at least that record's LoggingSeconds, so an earlier run started at least that
    // long, and a logging interval, before.
    const qint64 apart = std::abs(RunStart(first).secsTo(run.start));
    const qint64 interval = std::min<qint64>(ctx.settings.LOGGING_INTERVAL_SECONDS, first.LoggingSeconds);
    if (apart > 1 && apart >= interval)
        return false;
    // A clock set back can give an earlier run the same start; the file as that run left it is still its own.
    return run.earlierBackup.isEmpty() || run.earlierBackup != RunMarker::backupFingerprint(ctx);
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
    state.error = leftAsItIs(QStringLiteral("the disk backup of the interrupted run (DATASTOR.DTA) could not be "
                                            "read whole.")) +
                  error;

    const RecordLine lines(ctx);
    const QByteArray& endOfLine = lines.endOfLine();
    const qint64 size = files.size(path);
    const QByteArray tail = files.tail(path, std::min(size, LongestUnfinishedLine));
    const qsizetype lastEnd = endOfLine.isEmpty() ? -1 : tail.lastIndexOf(endOfLine);
    const qint64 unfinished = lastEnd < 0 ? tail.size() : tail.size() - lastEnd - endOfLine.size();
    if (lastEnd < 0 && size > LongestUnfinishedLine)
        return state;
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
    if (complete != size - unfinished || !onlyUnfinishedFailed)
        return state;
    state.readable = true;
    state.rewrite = unfinished > 0 && data.count() > 0;
    state.completeBytes = complete;
    return state;
}

// Replaces the backup by its complete lines in one atomic step: a crash or a failed write during it leaves
// the old file. The bytes are the file's own, since the table may hold only the newest of its records.
bool rewriteBackup(MeteringContext& ctx, qint64 completeBytes)
{
    FileIo& files = ctx.services.files;
    const QByteArray bytes = files.tail(ctx.paths.dataStore, files.size(ctx.paths.dataStore)).left(completeBytes);
    std::unique_ptr<FileHandle> file;
    if (bytes.size() == completeBytes)
        file = files.open(ctx.paths.dataStore, FileIo::Mode::Truncate, FileIo::Commit::Atomic);
    return file && file->write(bytes) && file->close();
}

} // namespace

QString ResumeComment(qint64 gapSeconds)
{
    return QStringLiteral("Resumed after restart; gap ") + duration(gapSeconds);
}

ResumeOutcome resume_logging_run(MeteringContext& ctx, LoggingEngine& engine, const RunMarker::UnfinishedRun& run)
{
    ResumeOutcome outcome;
    DataArray& data = ctx.varGlobalDataArray;
    const GeneralDateFormat dates(ctx.locale);
    const auto refuse = [&](const QString& why) {
        // Nothing of a backup that was not resumed may pass for the data set: graph, export and Start see none.
        data.resetPointer();
        outcome.message = QStringLiteral("Logging was not resumed: ") + why;
        return outcome;
    };
    data.resetPointer();
    if (!ctx.settings.WRITE_ARRAY_TO_DISK)
        return refuse(QStringLiteral("\"Write array to disk\" is off (Setup, Advanced Settings), so the interrupted "
                                     "run has no disk backup to go on from. Switch it on and start logging from the "
                                     "logging screen.\r\n"));
    if (ctx.services.files.exists(ctx.paths.dataStore)) {
        const std::optional<LogRecord> first = FirstBackupRecord(ctx);
        if (first && !isTheRunsOwn(ctx, run, *first)) {
            const QString earlier = dates.format(RunStart(*first));
            const QString kept = KeepEarlierBackup(ctx, RunStart(*first));
            if (kept.isEmpty())
                return refuse(leftAsItIs(QStringLiteral("the disk backup DATASTOR.DTA holds an earlier logging run, "
                                                        "started %1, and could not be renamed to keep it.")
                                             .arg(earlier)));
            outcome.message += QStringLiteral("The disk backup DATASTOR.DTA held an earlier logging run, started %1; "
                                              "it has been kept untouched as %2.\r\n")
                                   .arg(earlier, kept);
        } else {
            const BackupState backup = readBackup(ctx);
            if (!backup.readable)
                return refuse(backup.error);
            if (backup.rewrite && !rewriteBackup(ctx, backup.completeBytes))
                return refuse(leftAsItIs(QStringLiteral("the unfinished last line of the disk backup (DATASTOR.DTA) "
                                                        "could not be cut off, and records appended after it could "
                                                        "not be read back.")));
        }
    }

    const QDateTime now = ctx.services.clock.now();
    QDateTime start = run.start;
    QDateTime lastSeen = run.start;
    if (data.IsDataInMemory()) {
        const LogRecord& last = data.row(data.count());
        lastSeen = last.DateTime;
        start = RunStart(last);
    } else if (start.isValid()) {
        outcome.message += QStringLiteral("The interrupted logging run, started %1, had no records on disk yet: its "
                                          "first %2 (hours:minutes:seconds, from its start to now) could not be "
                                          "recovered. It goes on from its start in a new DATASTOR.DTA.\r\n")
                               .arg(dates.format(start), duration(start.secsTo(now)));
    } else {
        // Neither records nor a readable note: the run can only begin again now.
        outcome.message += QStringLiteral("The interrupted logging run left no records on disk and no readable start "
                                          "time; it begins again now in a new DATASTOR.DTA.\r\n");
        start = now;
        lastSeen = now;
    }
    engine.ResumeLogging(start, ResumeComment(lastSeen.secsTo(now)));
    outcome.resumed = true;
    return outcome;
}
