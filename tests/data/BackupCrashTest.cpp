// SPDX-License-Identifier: GPL-3.0-or-later
// The disk backup must survive the process being killed at any moment: a separate logging process writes
// real files and is killed with SIGKILL; what it left must read back as whole records.
#include "app/TextFormat.h"
#include "data/DataImport.h"
#include "metering/RecordLine.h"
#include "support/CrashLogger.h"
#include "support/TestContext.h"

#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

TEST(BackupCrashSafety, EveryCompleteLineSurvivesAKillAtAnyMomentAndReadsBack)
{
    TestContext reader;
    reader.ctx.varGlobalDataArray = DataArray(1'000'000); // a fast machine logs more than the factory length
    const QByteArray header = RecordLine(reader.ctx).header().chopped(2);
    QRandomGenerator random(20091215);
    int recordsSeen = 0;
    for (int run = 0; run < 10; ++run) {
        // Early kills hit the first backup, which starts the file afresh, later ones the appends: of one
        // line each, or of 300 lines, more than the file buffer holds, so one backup takes several writes.
        const int delay = run < 3 ? static_cast<int>(random.bounded(3)) : static_cast<int>(random.bounded(20, 300));
        const int backupSeconds = run % 2 == 0 ? 0 : 300;
        SCOPED_TRACE("run " + std::to_string(run) + ", backup every " + std::to_string(backupSeconds) + " s, killed " +
                     std::to_string(delay) + " ms after the start");
        QTemporaryDir folder;
        runAndKillCrashLogger(QStringLiteral(WATTSIGHT_CRASH_LOGGER), folder.path(), backupSeconds, delay);
        if (HasFatalFailure())
            return;

        QFile file(folder.filePath(QStringLiteral("DATASTOR.DTA")));
        if (!file.open(QIODevice::ReadOnly))
            continue; // killed before the first backup
        const QByteArray bytes = file.readAll();
        QList<QByteArray> lines = bytes.split('\n'); // complete lines, then what follows the last line end
        const QByteArray tail = lines.takeLast();    // part of a line being written, or nothing
        for (QByteArray& line : lines) {
            EXPECT_TRUE(line.endsWith('\r')) << "a line ended by LF alone: " << line.toStdString();
            line.chop(1);
        }
        if (lines.isEmpty()) {
            EXPECT_TRUE(header.startsWith(tail)) << "the file can only hold the start of the header";
            continue;
        }
        EXPECT_EQ(lines.front(), header);

        // Record k of the run was logged k seconds after the start: none is missing, repeated or damaged.
        const RecordLine records(reader.ctx);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            LogRecord record;
            const QString line = QString::fromLocal8Bit(lines[i]);
            ASSERT_EQ(records.read(line, record), QString()) << "line " << i << ": " << line.toStdString();
            ASSERT_EQ(record.LoggingSeconds, i) << line.toStdString();
        }

        // The whole complete part reloads as the previous run.
        const QString copy = reader.path(QStringLiteral("run%1.DTA").arg(run));
        ASSERT_TRUE(writeFileBytes(copy, bytes.chopped(tail.size())));
        EXPECT_EQ(read_data_file(reader.ctx, copy), "");
        EXPECT_EQ(reader.ctx.varGlobalDataArray.count(), lines.size() - 1);
        recordsSeen += static_cast<int>(lines.size() - 1);
    }
    EXPECT_GT(recordsSeen, 100) << "the logger ran long enough to write records";
}

} // namespace
