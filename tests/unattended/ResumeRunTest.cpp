// SPDX-License-Identifier: GPL-3.0-or-later
#include "unattended/ResumeRun.h"

#include "data/DataExport.h"
#include "metering/LogEvent.h"
#include "metering/LoggingEngine.h"
#include "metering/PulseSignal.h"
#include "metering/RecordLine.h"
#include "support/CrashLogger.h"
#include "support/TestContext.h"

namespace {

// A logging run killed with SIGKILL, then a start with resume on: the same backup file goes on. With a small
// table the run has outgrown it, as a run of weeks does: the table keeps the newest records, the file all.
class ResumeAfterKill : public testing::TestWithParam<qint32>
{
};

TEST_P(ResumeAfterKill, TheKilledRunContinuesInTheSameBackupAfterAGap)
{
    TestContext t;
    ASSERT_NO_FATAL_FAILURE(runAndKillCrashLogger(QStringLiteral(WATTSIGHT_CRASH_LOGGER), t.dir.path(), 0, 200));
    MeteringContext& ctx = t.ctx;
    ctx.settings.LOGGING_INTERVAL_SECONDS = 1;
    ctx.settings.ARRAY_WRITE_INTERVAL_SECONDS = 0;
    ctx.settings.DATA_ARRAY_LENGTH = GetParam();
    InitialiseDataArray(ctx);
    QByteArray before = fileBytes(ctx.paths.dataStore);
    before.truncate(before.lastIndexOf("\r\n") + 2);
    const qsizetype kept = before.count("\r\n") - 1;
    // Whatever the kill left, the file now ends inside a record line, as a torn write leaves it.
    ASSERT_TRUE(writeFileBytes(ctx.paths.dataStore, before + "15/01/2009 09:59:59,2009,1,15,9,59,59,3,0.0"));

    // The crash logger's clock started where this one starts and logged record k after k seconds; the
    // reader waits a second after the torn line.
    t.clock.advance(double(kept) + 3722);
    LoggingEngine engine(ctx);
    const ResumeOutcome outcome = resume_logging_run(ctx, engine, QDateTime());
    EXPECT_EQ(std::tuple(outcome.resumed, outcome.message), std::tuple(true, QString()));
    ASSERT_EQ(ctx.varGlobalDataArray.count(), std::min<qsizetype>(kept, GetParam())) << "complete records only";
    const qint32 pulsesBefore = ctx.varGlobalDataArray.row(ctx.varGlobalDataArray.count()).LoggingTotalPulse;
    for (int tick = 1; tick <= 6; ++tick) {
        t.clock.advance(1.0);
        RegisterPulse(ctx, 100);
        engine.tick();
    }
    engine.stopButton();

    const QByteArray after = fileBytes(ctx.paths.dataStore);
    ASSERT_TRUE(after.startsWith(before)) << "the records before the crash stay as they were";
    QList<QByteArray> lines = after.split('\n');
    EXPECT_TRUE(lines.takeLast().isEmpty());
    ASSERT_EQ(lines.size(), kept + 1 + 6) << "one header, the records before and the six after";
    const RecordLine reader(ctx);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        LogRecord r;
        const QString line = QString::fromLocal8Bit(lines[i].chopped(1));
        ASSERT_EQ(reader.read(line, r), QString()) << line.toStdString();
        const qint64 resumed = i - kept; // 1 for the first record after the restart
        EXPECT_EQ(r.LoggingSeconds, resumed <= 0 ? i : kept + 3723 + resumed) << line.toStdString();
        EXPECT_TRUE(resumed <= 0 || r.LoggingTotalPulse == pulsesBefore + resumed) << "totals continue";
        EXPECT_EQ(line.endsWith(",Resumed after restart; gap 01:02:03"), resumed == 1) << line.toStdString();
    }

    const QString exportFile = t.path(QStringLiteral("export.csv"));
    ASSERT_EQ(write_export_file(ctx, exportFile), "");
    const QByteArray exported = fileBytes(exportFile);
    const qsizetype header = RecordLine(ctx).header().size();
    EXPECT_EQ(exported.left(header), after.left(header));
    EXPECT_TRUE(after.endsWith(exported.mid(header))) << "the data set is the backup's newest records, byte for byte";
    EXPECT_EQ(exported.size() < after.size(), kept + 6 > GetParam()) << "and all of them unless the table wrapped";
}

INSTANTIATE_TEST_SUITE_P(Tables, ResumeAfterKill, testing::Values(10'000'000, 10),
                         [](const testing::TestParamInfo<qint32>& info) {
                             return info.param > 10 ? "HoldingTheRun" : "OutgrownByTheRun";
                         });

TEST(ResumeAfterCrash, ABackupDamagedInTheMiddleIsLeftAloneAndNotResumed)
{
    TestContext t;
    const QByteArray damaged = RecordLine(t.ctx).header() + "not a record\r\n15/01/2009 09:00:01,2009\r\n";
    ASSERT_TRUE(writeFileBytes(t.ctx.paths.dataStore, damaged));
    LoggingEngine engine(t.ctx);
    EXPECT_TRUE(resume_logging_run(t.ctx, engine, t.clock.now()).message.startsWith("Logging was not resumed"));
    EXPECT_FALSE(t.ctx.blnGlobalLoggingRunning);
    EXPECT_EQ(fileBytes(t.ctx.paths.dataStore), damaged);
}

} // namespace
