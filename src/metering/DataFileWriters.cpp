// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/DataFileWriters.h"

#include "app/FileIo.h"
#include "app/TextFormat.h"
#include "metering/FileRetry.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"
#include "metering/RecordLine.h"

#include <algorithm>

namespace {

const QString OpenFailed = QStringLiteral("Couldn't open the file for writing") + CrLf;
const QString WriteFailed = QStringLiteral("Couldn't write data to file") + CrLf;
const QString CloseFailed = QStringLiteral("Couldn't close the file") + CrLf;
const QString ControlCreateFailed = QStringLiteral("Couldn't create control file ") + CrLf;
const QString ControlDeleteFailed = QStringLiteral("Couldn't delete control file") + CrLf;

std::unique_ptr<FileHandle> openForWriting(MeteringContext& ctx, RetryRule rule, const QString& path, FileIo::Mode mode,
                                           FileIo::Commit commit = FileIo::Commit::InPlace)
{
    std::unique_ptr<FileHandle> file;
    retryFileOperation(ctx, rule, [&] {
        file = ctx.services.files.open(path, mode, commit);
        return file != nullptr;
    });
    return file;
}

// A file that a crash or a failed write left with an unfinished last line gets its line ended first, so the
// first new record starts a line of its own instead of being glued onto the broken one. A line ended by CR or
// LF is whole even when the end-of-line setting changed since it was written (no empty line in between).
std::unique_ptr<FileHandle> openForAppending(MeteringContext& ctx, RetryRule rule, const QString& path)
{
    auto file = openForWriting(ctx, rule, path, FileIo::Mode::Append);
    if (!file)
        return nullptr;
    const QByteArray endOfLine = RecordLine(ctx).endOfLine();
    FileIo& files = ctx.services.files;
    const bool empty = files.size(path) <= 0;
    const QByteArray tail = empty ? QByteArray() : files.tail(path, endOfLine.size());
    const bool lineOpen = !empty && !tail.endsWith(endOfLine) && !tail.endsWith('\n') && !tail.endsWith('\r');
    if (lineOpen && !retryFileOperation(ctx, rule, [&] { return file->write(endOfLine); }))
        return nullptr;
    return file;
}

// Writes the record lines one write per record; stops at the first line that cannot be written. The table
// may change while a retry waits (a new record, a fresh run): records that left it are skipped, and when the
// data set was replaced the rest of the old one no longer exists.
QString writeRecords(MeteringContext& ctx, RetryRule rule, FileHandle& file, qint64 firstRecord, qint64 lastRecord)
{
    const DataArray& data = ctx.varGlobalDataArray;
    const quint64 generation = data.generation();
    const RecordLine lines(ctx);
    QByteArray line;
    for (qint64 seq = std::max(firstRecord, data.firstSequence()); seq <= lastRecord; ++seq) {
        if (data.generation() != generation)
            break;
        seq = std::max(seq, data.firstSequence());
        const LogRecord* record = data.record(seq);
        if (!record || seq > lastRecord)
            break;
        line.clear();
        if (seq == 1)
            line = lines.header();
        lines.append(line, *record);
        if (!retryFileOperation(ctx, rule, [&] { return file.write(line); }))
            return WriteFailed;
    }
    return {};
}

bool createControlFile(MeteringContext& ctx, RetryRule rule, const QString& controlFile)
{
    return retryFileOperation(ctx, rule, [&] {
        auto file = ctx.services.files.open(controlFile, FileIo::Mode::Append);
        if (!file)
            return false;
        const bool written = file->write(QByteArrayLiteral("controlfile\r\n"));
        return file->close() && written;
    });
}

bool deleteControlFile(MeteringContext& ctx, RetryRule rule, const QString& controlFile)
{
    return retryFileOperation(ctx, rule, [&] { return ctx.services.files.remove(controlFile); });
}

} // namespace

QString write_data_file(MeteringContext& ctx, const QString& file, qint64 firstRecord, qint64 lastRecord,
                        bool overwrite)
{
    FileInUseGuard inUse(ctx.filesInUse, file);
    if (!inUse.acquired())
        return OpenFailed;
    const RetryRule rule = RetryRule::dataWrite(ctx.settings);
    auto handle =
        overwrite ? openForWriting(ctx, rule, file, FileIo::Mode::Truncate) : openForAppending(ctx, rule, file);
    if (!handle)
        return OpenFailed;
    QString error = writeRecords(ctx, rule, *handle, firstRecord, lastRecord);
    if (!handle->close())
        error += CloseFailed;
    return error;
}

QString write_diff_file(MeteringContext& ctx, const QString& file, qint64 firstRecord, qint64 lastRecord,
                        const QString& controlFile)
{
    FileInUseGuard inUse(ctx.filesInUse, file);
    if (!inUse.acquired())
        return OpenFailed;
    const RetryRule rule = RetryRule::dataWrite(ctx.settings);
    if (!createControlFile(ctx, rule, controlFile))
        return ControlCreateFailed;
    auto handle = openForAppending(ctx, rule, file);
    if (!handle)
        return OpenFailed; // the control file stays: the data file's state is unknown to a reader
    QString error = writeRecords(ctx, rule, *handle, firstRecord, lastRecord);
    if (!handle->close())
        error += CloseFailed;
    if (!deleteControlFile(ctx, rule, controlFile))
        error = ControlDeleteFailed;
    return error;
}

QString write_live_file(MeteringContext& ctx, const QString& strpFileToWrite, const QString& strpControlFile)
{
    const QDateTime now = WholeSecondsNow(ctx);
    const QDate d = now.date();
    const QTime t = now.time();

    FileInUseGuard inUse(ctx.filesInUse, strpFileToWrite);
    if (!inUse.acquired())
        return OpenFailed;
    const RetryRule rule = RetryRule::dataWrite(ctx.settings);
    const RecordLine lines(ctx);
    const QByteArray& D = lines.delimiter();
    const GlobalSettings& s = ctx.settings;
    const PulseState& p = ctx.pulse;
    const RunState& run = ctx.logging;

    static const char* const names[21] = {"DateTime",
                                          "Year",
                                          "Month",
                                          "Day",
                                          "Hour",
                                          "Min",
                                          "Sec",
                                          "TotalEnergy",
                                          "TotalCost",
                                          "LoggingSeconds",
                                          "LoggingTotalPulse",
                                          "Power5minAvg",
                                          "Cost5minAvg",
                                          "Power1hrAvg",
                                          "Cost1hrAvg",
                                          "InstantPower",
                                          "InstantCost",
                                          "REVSperEnergyUnit",
                                          "CostPerEnergyUnit",
                                          "TarrifNumber",
                                          "LightLevel"};
    QByteArray content;
    for (int i = 0; i < 21; ++i) {
        content.append(names[i]);
        content.append(i < 20 ? D : lines.endOfLine());
    }
    lines.appendDate(content, now);
    for (qint64 v : {qint64(d.year()), qint64(d.month()), qint64(d.day()), qint64(t.hour()), qint64(t.minute()),
                     qint64(t.second())}) {
        content.append(D);
        lines.appendInt(content, v);
    }
    auto rounded = [&](double value, int places) {
        content.append(D);
        lines.appendDouble(content, TextFormat::roundToPlaces(value, places));
    };
    rounded(run.totalKWH, s.ENERGY_ROUNDING_PLACES);
    rounded(run.totalCost, s.COST_ROUNDING_PLACES);
    content.append(D);
    lines.appendInt(content, WholeSecondsBetween(run.startTime, now));
    content.append(D);
    lines.appendInt(content, run.totalPulse);
    rounded(run.avg5minKWH, s.POWER_ROUNDING_PLACES);
    rounded(run.avg5minCost, s.COST_ROUNDING_PLACES);
    rounded(run.avg1hourKWH, s.POWER_ROUNDING_PLACES);
    rounded(run.avg1hourCost, s.COST_ROUNDING_PLACES);
    rounded(p.dblGlobalInstantKW, s.POWER_ROUNDING_PLACES);
    rounded(p.dblGlobalInstantCostPerHour, s.COST_ROUNDING_PLACES);
    content.append(D);
    lines.appendDouble(content, p.dblGlobalWkgRevsPerKWH);
    content.append(D);
    lines.appendDouble(content, p.dblGlobalWkgCostPerKWH);
    content.append(D);
    lines.appendInt(content, p.intGlobalWkgTarrifNumber);
    content.append(D);
    lines.appendInt(content, p.lngGlobalLightLevel);
    content.append(lines.endOfLine());

    if (!createControlFile(ctx, rule, strpControlFile))
        return ControlCreateFailed;
    auto handle = openForWriting(ctx, rule, strpFileToWrite, FileIo::Mode::Truncate, FileIo::Commit::Atomic);
    if (!handle)
        return OpenFailed;
    QString error;
    if (!retryFileOperation(ctx, rule, [&] { return handle->write(content); })) {
        error += WriteFailed;
        handle.reset(); // never committed: the previous two lines stay whole
    } else if (!handle->close()) {
        error += CloseFailed;
    }
    if (!deleteControlFile(ctx, rule, strpControlFile))
        error = ControlDeleteFailed;
    return error;
}
