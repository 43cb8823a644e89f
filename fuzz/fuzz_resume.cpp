// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as the backup of an interrupted run: resuming must not crash, must leave a backup it
// refuses exactly as it was with none of its records in memory, and a backup it continues must hold whole lines, as
// long as the records it read back written out again (the text of a number may differ, "0.50" for "0.5"), or longer
// when the table wrapped and kept only the newest of them.
#include "FuzzServices.h"
#include "metering/LoggingEngine.h"
#include "metering/MeteringContext.h"
#include "metering/RecordLine.h"
#include "unattended/ResumeRun.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzServices run;
    MeteringContext ctx(run.services());
    ctx.settings = SettingsDefaults::factorySettings();
    ctx.strGlobalEndOfLine = QStringLiteral("\r\n");
    ctx.strGlobalFieldDelimiter = QStringLiteral(",");
    ctx.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
    ctx.paths = BuildFilePaths(QStringLiteral("/fuzz"));
    ctx.varGlobalDataArray = DataArray(64);
    const QByteArray backup(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    run.files.files.insert(ctx.paths.dataStore, backup);

    LoggingEngine engine(ctx);
    const ResumeOutcome outcome = resume_logging_run(ctx, engine, {});
    check(outcome.resumed == ctx.blnGlobalLoggingRunning);
    const QByteArray after = run.files.files.value(ctx.paths.dataStore);
    if (!outcome.resumed) {
        check(after == backup && !ctx.varGlobalDataArray.IsDataInMemory());
        return 0;
    }
    const DataArray& table = ctx.varGlobalDataArray;
    if (table.count() == 0)
        return 0;
    const RecordLine lines(ctx);
    QByteArray expected = lines.header();
    for (qint32 r = 1; r <= table.count(); ++r)
        lines.append(expected, table.row(r));
    // A wrapped table holds only the newest records; the file keeps them all.
    const bool wrapped = table.firstSequence() > 1;
    check((wrapped ? after.size() > expected.size() : after.size() == expected.size()) && after.endsWith("\r\n"));
    return 0;
}
