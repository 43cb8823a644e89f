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

// A pulse a second for that many seconds, a record each, then the Stop button.
void logAndStop(TestContext& t, LoggingEngine& engine, int seconds)
{
    for (int tick = 1; tick <= seconds; ++tick) {
        t.clock.advance(1.0);
        RegisterPulse(t.ctx, 100);
        engine.tick();
    }
    engine.stopButton();
}

// A logging run killed with SIGKILL, then a start with resume on: the same backup file goes on. With a small
// table the run has outgrown it, as a run of weeks does: the table keeps the newest records, the file all.
using ResumeAfterKill = testing::TestWithParam<qint32>;

TEST_P(ResumeAfterKill, TheKilledRunContinuesInTheSameBackupAfterAGap)
{
    TestContext t;
    ASSERT_NO_FATAL_FAILURE(runAndKillCrashLogger(QStringLiteral(WATTSIGHT_CRASH_LOGGER), t.dir.path(), 0, 200));
    MeteringContext& ctx = t.ctx;
    std::tie(ctx.settings.LOGGING_INTERVAL_SECONDS, ctx.settings.ARRAY_WRITE_INTERVAL_SECONDS,
             ctx.settings.DATA_ARRAY_LENGTH) = std::tuple(1, 0, GetParam());
    InitialiseDataArray(ctx);
    const std::optional<RunMarker::UnfinishedRun> run = RunMarker::unfinishedRun(ctx);
    ASSERT_TRUE(run && run->start == t.clock.now() && run->earlierBackup.isEmpty());
    QByteArray before = fileBytes(ctx.paths.dataStore);
    before.truncate(before.lastIndexOf("\r\n") + 2);
    const qsizetype kept = before.count("\r\n") - 1;
    // Whatever the kill left, the file now ends inside a record line, as a torn write leaves it.
    ASSERT_TRUE(writeFileBytes(ctx.paths.dataStore, before + "15/01/2009 09:59:59,2009,1,15,9,59,59,3,0.0"));

    // The crash logger's clock started where this one starts and logged record k after k seconds; the
    // reader waits a second after the torn line.
    t.clock.advance(double(kept) + 3722);
    LoggingEngine engine(ctx);
    const ResumeOutcome outcome = resume_logging_run(ctx, engine, *run);
    EXPECT_EQ(std::tuple(outcome.resumed, outcome.message), std::tuple(true, QString()));
    ASSERT_EQ(ctx.varGlobalDataArray.count(), std::min<qsizetype>(kept, GetParam())) << "complete records only";
    const qint32 pulsesBefore = ctx.varGlobalDataArray.row(ctx.varGlobalDataArray.count()).LoggingTotalPulse;
    logAndStop(t, engine, 6);

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

// Run A stopped normally, then run B started and killed before its first backup (by factory settings ten
// minutes in): the restart resumes B, not A. A's file is kept whole under a name of its own, never over a file
// there, and B goes on from its own start in a new file. The first case tells the runs apart by their starts
// (with a note from before the earlier file was noted in it); in the second, a clock set back gave both runs
// the same start.
struct EarlierRun
{
    const char* name;
    qint64 secondsBeforeKilledRun;
    bool noteKnowsEarlierFile;
    bool nameTaken;
};

using ResumeAfterKillBeforeFirstBackup = testing::TestWithParam<EarlierRun>;

TEST_P(ResumeAfterKillBeforeFirstBackup, KeepsTheEarlierRunsFileAndGoesOnFromTheKilledRunsStart)
{
    TestContext t;
    MeteringContext& ctx = t.ctx;
    std::tie(ctx.settings.LOGGING_INTERVAL_SECONDS, ctx.settings.ARRAY_WRITE_INTERVAL_SECONDS) = std::tuple(1, 0);
    ctx.blnGlobalCameraRunning = true;
    const QDateTime killedStart = t.clock.now(); // where the crash logger's clock begins
    const QDateTime earlierStart = killedStart.addSecs(-GetParam().secondsBeforeKilledRun);
    t.clock.setNow(earlierStart);
    {
        LoggingEngine earlier(ctx);
        ASSERT_TRUE(earlier.startButton());
        logAndStop(t, earlier, 4);
    }
    const QByteArray earlierFile = fileBytes(ctx.paths.dataStore);
    const QString name = QStringLiteral("DATASTOR-%1").arg(earlierStart.toString("yyyy-MM-dd-HHmmss"));
    const QString kept = name + (GetParam().nameTaken ? "-2.DTA" : ".DTA");
    if (GetParam().nameTaken) {
        ASSERT_TRUE(writeFileBytes(t.path(name + ".DTA"), "another file"));
    }
    // No backup: SecondsBetween, which tells when one is due, never reaches a day.
    ASSERT_NO_FATAL_FAILURE(runAndKillCrashLogger(QStringLiteral(WATTSIGHT_CRASH_LOGGER), t.dir.path(), 86400, 200));
    ASSERT_EQ(fileBytes(ctx.paths.dataStore), earlierFile);
    std::optional<RunMarker::UnfinishedRun> run = RunMarker::unfinishedRun(ctx);
    ASSERT_TRUE(run && run->start == killedStart && !run->earlierBackup.isEmpty());
    if (!GetParam().noteKnowsEarlierFile)
        run->earlierBackup.clear();

    t.clock.setNow(killedStart.addSecs(7200));
    LoggingEngine engine(ctx);
    const ResumeOutcome outcome = resume_logging_run(ctx, engine, *run);
    EXPECT_TRUE(outcome.resumed);
    EXPECT_TRUE(outcome.message.contains("it has been kept untouched as " + kept)) << outcome.message.toStdString();
    EXPECT_TRUE(outcome.message.contains("its first 02:00:00")) << "what could not be recovered";
    EXPECT_EQ(fileBytes(t.path(kept)), earlierFile);
    EXPECT_TRUE(!GetParam().nameTaken || fileBytes(t.path(name + ".DTA")) == "another file");
    EXPECT_FALSE(ctx.varGlobalDataArray.IsDataInMemory()) << "none of the earlier run's records";
    logAndStop(t, engine, 3);

    QList<QByteArray> lines = fileBytes(ctx.paths.dataStore).split('\n');
    ASSERT_EQ(lines.size(), 1 + 3 + 1) << "a new file: header, three records, nothing after the last line end";
    const RecordLine reader(ctx);
    LogRecord first;
    ASSERT_EQ(reader.read(QString::fromLocal8Bit(lines[1].chopped(1)), first), QString());
    EXPECT_EQ(std::tuple(first.LoggingSeconds, first.LoggingTotalPulse), std::tuple(7201, 1)) << "the killed run's own";
    EXPECT_TRUE(lines[1].endsWith(",Resumed after restart; gap 02:00:00\r"));
}

INSTANTIATE_TEST_SUITE_P(Runs, ResumeAfterKillBeforeFirstBackup,
                         testing::Values(EarlierRun{"StartedAnHourEarlier", 3600, false, false},
                                         EarlierRun{"StartedAtTheSameTime", 0, true, true}),
                         [](const testing::TestParamInfo<EarlierRun>& info) { return info.param.name; });

// A resume that is refused changes nothing on disk, starts nothing and leaves no record in memory, so the
// graph, the export and Start see none of a backup that was not taken up.
struct Refusal
{
    const char* name;
    QByteArray tail; // after the header and a good record
    std::optional<FaultyFileIo::Op> failing;
    bool backupOff;
    qint64 markedLater; // seconds between the backup's run start and the marked one
    const char* says;
};

using RefusedResume = testing::TestWithParam<Refusal>;

TEST_P(RefusedResume, ChangesNothingOnDiskAndLeavesNoRecordInMemory)
{
    TestContext t;
    const Refusal& p = GetParam();
    const RecordLine lines(t.ctx);
    LogRecord record;
    record.setDateTime(t.clock.now());
    const QByteArray backup = lines.header() + lines.line(record) + p.tail;
    ASSERT_TRUE(writeFileBytes(t.ctx.paths.dataStore, backup));
    t.ctx.settings.WRITE_ARRAY_TO_DISK = !p.backupOff;
    if (p.failing)
        t.files.fail(*p.failing, t.ctx.paths.dataStore);
    LoggingEngine engine(t.ctx);
    const ResumeOutcome outcome = resume_logging_run(t.ctx, engine, {record.DateTime.addSecs(p.markedLater), {}});
    EXPECT_TRUE(outcome.message.startsWith("Logging was not resumed: ") && outcome.message.contains(p.says))
        << outcome.message.toStdString();
    EXPECT_FALSE(outcome.resumed || t.ctx.blnGlobalLoggingRunning);
    EXPECT_EQ(fileBytes(t.ctx.paths.dataStore), backup);
    EXPECT_FALSE(t.ctx.varGlobalDataArray.IsDataInMemory());
}

INSTANTIATE_TEST_SUITE_P(
    Backups, RefusedResume,
    testing::Values(
        Refusal{"DamagedInTheMiddle", "x\r\n15/01/2009 09:05:00,2009\r\n", {}, false, 0, "could not be read whole"},
        Refusal{"EndingInMoreThanALine", QByteArray(70'000, 'x'), {}, false, 0, "could not be read whole"},
        Refusal{"WithATornLineThatCannotBeCut", "15/01/2009 09:05:00,2009,1", FaultyFileIo::Op::Write, false, 0,
                "could not be cut off"},
        Refusal{"NotWrittenAtAll", {}, {}, true, 0, "\"Write array to disk\" is off"},
        Refusal{
            "OfAnEarlierRunThatCannotBeRenamed", {}, FaultyFileIo::Op::Rename, false, 3600, "could not be renamed"}),
    [](const testing::TestParamInfo<Refusal>& info) { return info.param.name; });

} // namespace
