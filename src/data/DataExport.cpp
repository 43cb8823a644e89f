// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/DataExport.h"

#include "app/Clock.h"
#include "app/Dialogs.h"
#include "app/FileIo.h"
#include "app/TextFormat.h"
#include "metering/FileRetry.h"
#include "metering/MeteringContext.h"
#include "metering/RecordLine.h"

#include <QFileInfo>
#include <QStandardPaths>

QString write_export_file(MeteringContext& ctx, const QString& fileName, const ProgressReport& progress)
{
    const DataArray& data = ctx.varGlobalDataArray;
    // Counted once: records the logging timer adds while a retry waits are not part of this export.
    const qint32 n = data.pointer() - 1;
    const RecordLine lines(ctx);
    const RetryRule rule = RetryRule::dataWrite(ctx.settings);

    const int step = n < 100 ? 1 : static_cast<int>(TextFormat::roundHalfEven(n / 100.0));
    ProgressStepper bar(progress, 100, step);

    std::unique_ptr<FileHandle> file;
    if (!retryFileOperation(ctx, rule, [&] {
            file = ctx.services.files.open(fileName, FileIo::Mode::Truncate);
            return file != nullptr;
        }))
        return QStringLiteral("Couldn't open the file for writing") + CrLf;

    QString error;
    QByteArray line;
    for (qint32 r = 1; r <= n && r <= data.count(); ++r) {
        line.clear();
        if (r == 1)
            line = lines.header();
        lines.append(line, data.row(r));
        if (!retryFileOperation(ctx, rule, [&] { return file->write(line); })) {
            error += QStringLiteral("Couldn't write data to file") + CrLf;
            break;
        }
        bar.item();
    }
    if (!file->close())
        error += QStringLiteral("Couldn't close the file") + CrLf;
    return error;
}

QString defaultExportFileName(const QDateTime& now)
{
    const QDate d = now.date();
    const QTime t = now.time();
    return QStringLiteral("Log%1%2%3T%4%5%6")
        .arg(d.year())
        .arg(d.month())
        .arg(d.day())
        .arg(t.hour())
        .arg(t.minute())
        .arg(t.second());
}

bool export_logged_data(MeteringContext& ctx, const FormHooks& hooks)
{
    Dialogs& dialogs = ctx.services.dialogs;
    if (hooks.hide)
        hooks.hide();
    if (!ctx.varGlobalDataArray.IsDataInMemory()) {
        dialogs.message(QStringLiteral("No data to save"), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return false;
    }

    Dialogs::FileRequest request;
    request.title = QStringLiteral("Export / Save Logged Data");
    request.initialFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    request.fileName = defaultExportFileName(ctx.services.clock.now());
    request.defaultExtension = QStringLiteral("csv");
    request.filter = QStringLiteral("Delimited (*.csv)");
    QString fileName = dialogs.saveFileName(request);
    if (fileName.isEmpty())
        return false;
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".csv");

    if (hooks.show)
        hooks.show();
    const QString error = write_export_file(ctx, fileName, hooks.progress);
    if (!error.isEmpty()) {
        dialogs.message(error.left(1000), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation,
                        QStringLiteral("Error saving data"));
        return false;
    }
    return true;
}
