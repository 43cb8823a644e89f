// SPDX-License-Identifier: GPL-3.0-or-later
#include "unattended/ResumeRun.h"

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
