// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/DataImport.h"

#include "app/DelayTenths.h"
#include "app/Dialogs.h"
#include "app/FileIo.h"
#include "app/TextFormat.h"
#include "metering/FileRetry.h"
#include "metering/MeteringContext.h"

#include <QStandardPaths>
#include <limits>

namespace {

const QString CrLf = QStringLiteral("\r\n");

template <class Int> bool toInteger(QStringView field, QChar point, Int& out)
{
    const auto value = TextFormat::parseNumber(field, point);
    if (!value)
        return false;
    const double rounded = TextFormat::roundHalfEven(*value);
    if (rounded < double(std::numeric_limits<Int>::min()) || rounded > double(std::numeric_limits<Int>::max()))
        return false;
    out = static_cast<Int>(rounded);
    return true;
}

bool toDouble(QStringView field, QChar point, double& out)
{
    const auto value = TextFormat::parseNumber(field, point);
    if (!value)
        return false;
    out = *value;
    return true;
}

// Everything after the 20th delimiter: the comment, written last and already free of delimiters.
QString commentField(const QString& line, const QString& delimiter)
{
    qsizetype from = 0;
    for (int i = 0; i < 20 && from >= 0; ++i) {
        const qsizetype at = line.indexOf(delimiter, from, Qt::CaseInsensitive);
        from = at < 0 ? -1 : at + delimiter.size();
    }
    return from < 0 ? QString() : line.mid(from);
}

QChar decimalPointOf(const QLocale& locale)
{
    const QString point = locale.decimalPoint();
    return point.isEmpty() ? QLatin1Char('.') : point.at(0);
}

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
    const QString error = read_data_file(ctx, fileName, hooks.progress);
    if (!error.isEmpty()) {
        ctx.services.dialogs.message(error.left(1000), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation,
                                     QStringLiteral("Error saving data"));
        return false;
    }
    ctx.services.dialogs.message(success);
    return true;
}

} // namespace

bool parse_record_line(QStringView line, const QString& delimiter, QChar point, const GeneralDateFormat& dates,
                       LogRecord& r)
{
    QStringView fields[20];
    qsizetype from = 0;
    for (int i = 0; i < 20; ++i) {
        if (from > line.size())
            return false; // fewer than 20 fields
        const qsizetype at = delimiter.isEmpty() ? -1 : line.indexOf(delimiter, from, Qt::CaseInsensitive);
        if (at < 0) {
            fields[i] = line.mid(from);
            from = line.size() + 1;
        } else {
            fields[i] = line.mid(from, at - from);
            from = at + delimiter.size();
        }
    }
    r = LogRecord();
    const auto when = dates.parse(fields[0]);
    if (!when)
        return false;
    r.DateTime = *when;
    return toInteger(fields[1], point, r.Year) && toInteger(fields[2], point, r.Month) &&
           toInteger(fields[3], point, r.Day) && toInteger(fields[4], point, r.Hour) &&
           toInteger(fields[5], point, r.Min) && toInteger(fields[6], point, r.Sec) &&
           toInteger(fields[7], point, r.PulsesThisInterval) && toDouble(fields[8], point, r.TotalEnergy) &&
           toDouble(fields[9], point, r.TotalCost) && toInteger(fields[10], point, r.LoggingSeconds) &&
           toInteger(fields[11], point, r.LoggingTotalPulse) && toDouble(fields[12], point, r.EnergyThisInterval) &&
           toDouble(fields[13], point, r.CostThisInterval) && toDouble(fields[14], point, r.AvgPowerThisInterval) &&
           toDouble(fields[15], point, r.AvgCostPerHourThisInterval) &&
           toDouble(fields[16], point, r.REVSperEnergyUnit) && toDouble(fields[17], point, r.CostPerEnergyUnit) &&
           toInteger(fields[18], point, r.TarrifNumber) && toInteger(fields[19], point, r.LightLevel);
}

QString read_data_file(MeteringContext& ctx, const QString& fileName, const ProgressReport& progress,
                       CommentSlot comments)
{
    const QString delimiter = ctx.strGlobalFieldDelimiter;
    const RetryRule rule = RetryRule::dataRead(ctx.settings);

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

    const GeneralDateFormat dates(ctx.locale);
    const QChar point = decimalPointOf(ctx.locale);
    DataArray& data = ctx.varGlobalDataArray;
    QString error;
    QByteArray raw;
    QString text;
    qint32 row = 0; // 0 while the header is still to come
    while (!file->atEnd()) {
        if (!retryFileOperation(ctx, rule, [&] { return file->readLine(raw); })) {
            error += QStringLiteral("Couldn't read data from file") + CrLf;
            break;
        }
        if (row == 0) {
            row = 1;
        } else {
            text = QString::fromLocal8Bit(raw);
            // Each record is built afresh and stored whole, so a rejected line leaves the table as it was
            // and no comment of an earlier data set ends up on an imported record.
            LogRecord record;
            const bool parsed = parse_record_line(text, delimiter, point, dates, record);
            if (parsed && comments == CommentSlot::Kept)
                record.UserComment = commentField(text, delimiter);
            if (!parsed || !data.store(row, record)) {
                DelayTenths(ctx.services.clock, ctx.services.pump, rule.delayTenths);
                error += QStringLiteral("Couldn't read data from file") + CrLf;
                break;
            }
            ++row;
        }
        bar.item();
    }
    if (!file->close())
        error += QStringLiteral("Couldn't close the file") + CrLf;
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
