// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/DataImport.h"

#include "app/DelayTenths.h"
#include "app/Dialogs.h"
#include "app/FileIo.h"
#include "app/TextFormat.h"
#include "metering/FileRetry.h"
#include "metering/MeteringContext.h"
#include "metering/RecordLine.h"

#include <QStandardPaths>

namespace {

bool askOverwrite(MeteringContext& ctx)
{
    if (!ctx.varGlobalDataArray.IsDataInMemory())
        return true;
    const QString text = QStringLiteral("There is data already in memory, do you wish to overwrite it?") + CrLf +
                         QStringLiteral("If you do so, you will lose the previous data results");
    return ctx.services.dialogs.message(text, Dialogs::Buttons::YesNoCancel, Dialogs::Icon::None,
                                        QStringLiteral("Data in memory")) == Dialogs::Answer::Yes;
}

bool readAndReport(MeteringContext& ctx, const QString& fileName, const FormHooks& hooks, const QString& success)
{
    if (hooks.show)
        hooks.show();
    ReadSummary summary;
    const QString error = read_data_file(ctx, fileName, hooks.progress, &summary);
    const GeneralDateFormat dates(ctx.locale);
    QString loaded;
    if (summary.records == 1)
        loaded = QStringLiteral("1 record loaded, dated %1.").arg(dates.format(summary.first));
    else if (summary.records > 1)
        loaded = QStringLiteral("%1 records loaded, from %2 to %3.")
                     .arg(summary.records)
                     .arg(dates.format(summary.first), dates.format(summary.last));
    else
        loaded = QStringLiteral("No record loaded; the data in memory is unchanged.");
    if (!error.isEmpty()) {
        ctx.services.dialogs.message((error + loaded).left(1000), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation,
                                     QStringLiteral("Error saving data"));
        return false;
    }
    ctx.services.dialogs.message(success + CrLf + loaded);
    return true;
}

} // namespace

QString read_data_file(MeteringContext& ctx, const QString& fileName, const ProgressReport& progress,
                       ReadSummary* summary, ReadPurpose purpose)
{
    const RetryRule rule = RetryRule::dataRead(ctx.settings);
    ReadSummary loaded;

    std::unique_ptr<FileHandle> file;
    if (!retryFileOperation(ctx, rule, [&] {
            file = ctx.services.files.open(fileName, FileIo::Mode::Read);
            return file != nullptr;
        }))
        return QStringLiteral("Couldn't open the file for reading") + CrLf;

    // The bar is an estimate from the file size at about 141 bytes a line.
    const qint64 expected = static_cast<qint64>(TextFormat::roundHalfEven(ctx.services.files.size(fileName) / 141.0));
    const int maximum = expected >= 100 ? 100 : static_cast<int>(std::max<qint64>(expected, 0));
    const int step = expected >= 100 ? static_cast<int>(TextFormat::roundHalfEven(expected / 100.0)) : 1;
    ProgressStepper bar(progress, maximum, step);

    const RecordLine lines(ctx);
    const bool resuming = purpose == ReadPurpose::Resuming;
    DataArray& data = ctx.varGlobalDataArray;
    const QString readFailed = QStringLiteral("Couldn't read data from file") + CrLf;
    QString error;
    QByteArray raw;
    QString text;
    qint64 lineNumber = 0;
    while (!file->atEnd()) {
        ++lineNumber;
        if (!retryFileOperation(ctx, rule, [&] { return file->readLine(raw); })) {
            error += readFailed + QStringLiteral("Line %1 could not be read.").arg(lineNumber) + CrLf;
            break;
        }
        if (lineNumber > 1) { // the first line is the header, whatever it holds
            text = QString::fromLocal8Bit(raw);
            // Each record is built afresh and stored whole, so a rejected line leaves the table as it was
            // and no comment of an earlier data set ends up on an imported record.
            LogRecord record;
            QString problem =
                lines.read(text, record, resuming ? RecordLine::Fields::Whole : RecordLine::Fields::Values);
            if (problem.isEmpty() && resuming) {
                record.UserComment = lines.lastComment();
                loaded.recordBytes += lines.line(record).size();
                data.append(record);
            } else if (problem.isEmpty() && !data.store(loaded.records + 1, record)) {
                problem = QStringLiteral("the data array holds no more than %1 records").arg(data.capacity());
            }
            if (!problem.isEmpty()) {
                DelayTenths(ctx.services.clock, ctx.services.pump, rule.delayTenths);
                error += readFailed + QStringLiteral("Line %1: %2.").arg(lineNumber).arg(problem) + CrLf;
                break;
            }
            if (++loaded.records == 1)
                loaded.first = record.DateTime;
            loaded.last = record.DateTime;
        }
        bar.item();
    }
    if (!file->close())
        error += QStringLiteral("Couldn't close the file") + CrLf;
    if (summary)
        *summary = loaded;
    return error;
}

bool import_logged_data(MeteringContext& ctx, const FormHooks& hooks)
{
    if (hooks.hide)
        hooks.hide();
    if (!askOverwrite(ctx))
        return false;
    Dialogs::FileRequest request;
    request.title = QStringLiteral("Import / Load Logged Data");
    request.initialFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    request.fileName = QStringLiteral("Log");
    request.defaultExtension = QStringLiteral("csv");
    request.filter = QStringLiteral("Delimited (*.csv)");
    const QString fileName = ctx.services.dialogs.openFileName(request);
    if (fileName.isEmpty())
        return false;
    return readAndReport(ctx, fileName, hooks, QStringLiteral("Data imported"));
}

bool reload_previous_run(MeteringContext& ctx, const FormHooks& hooks)
{
    if (hooks.hide)
        hooks.hide();
    // A backup during the reload would append to the very file being read.
    if (ctx.blnGlobalLoggingRunning) {
        ctx.services.dialogs.message(ReloadWhileLoggingText, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return false;
    }
    if (!askOverwrite(ctx))
        return false;
    return readAndReport(ctx, ctx.paths.dataStore, hooks, QStringLiteral("Previous Run Data imported"));
}
