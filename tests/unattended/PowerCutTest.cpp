// SPDX-License-Identifier: GPL-3.0-or-later
// A logging run with the meter reading kept is killed, or its power cut, at random file operations: each start goes
// on from what had reached the disk, and loses no more than the disk was allowed to hold back.
#include "metering/EarlierBackup.h"
#include "metering/LogEvent.h"
#include "metering/LoggingEngine.h"
#include "metering/MeterReadingStore.h"
#include "metering/PulseSignal.h"
#include "metering/RecordLine.h"
#include "support/TestContext.h"
#include "unattended/ResumeRun.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <random>

namespace {

const MeterSource Hall{MeterSource::Kind::Camera, QStringLiteral("Hall camera")};
constexpr qint32 Table = 40; // records: the run outgrows the table, as a run of weeks does

// The memory of a program just started: nothing of the last one but the test's settings.
struct FreshMemory
{
    explicit FreshMemory(TestContext& t) : ctx(t.ctx.services)
    {
        t.copySettingsTo(ctx);
        ctx.settings.DATA_ARRAY_LENGTH = Table;
        InitialiseDataArray(ctx);
        LoadWorkingMeterValues(ctx);
        ResetWorkingValues(ctx);
        ctx.blnGlobalCameraRunning = true;
    }
    MeteringContext ctx;
};

struct Program : FreshMemory
{
    explicit Program(TestContext& t) : FreshMemory(t)
    {
        QObject::connect(&logging, &LoggingEngine::runStarted,
                         [this](const QDateTime& start) { RunMarker::noteRunStarted(ctx, start); });
        QObject::connect(&logging, &LoggingEngine::runStopped, [this] { RunMarker::noteRunStopped(ctx); });
    }
    LoggingEngine logging{ctx};
    MeterReadingStore reading{ctx, 4000}; // a small file limit, so that cuts hit rewrites too
};

TEST(PowerCut, KilledOrCutOffAtAnyFileOperationEachStartGoesOnFromTheDiskLosingAtMostTheReadingsLastSeconds)
{
    TestContext t;
    std::mt19937 random(20260315);
    auto program = std::make_unique<Program>(t);
    ASSERT_EQ(program->reading.load(), "");
    ASSERT_EQ(program->reading.setReading(1000, Hall), "");
    ASSERT_TRUE(program->logging.startButton());
    const QDateTime runStart = t.clock.now();
    qint64 worstLost = 0;
    qint64 worstSeconds = 0;
    int resumedRecords = 0; // in the file
    for (int cut = 1; cut <= 80; ++cut) {
        // Every third end is a kill, which keeps what was written; the others cut the power. Either comes at a
        // file operation, a write or a sync or in the middle of a rewrite.
        const auto end = cut % 3 == 0 ? FaultyFileIo::Cut::Kill : FaultyFileIo::Cut::PowerCut;
        const qint64 countedAtStart = program->reading.reading().revolutions;
        std::vector<QDateTime> fed; // this start's revolutions
        t.files.cutPowerAtOperation(std::uniform_int_distribution(1, 600)(random));
        while (!t.files.powerIsOff()) {
            t.clock.advance(1.0);
            if (random() % 5 < 2) {
                RegisterPulse(program->ctx, 1, t.clock.timer(), Hall);
                fed.push_back(t.clock.now());
            }
            program->reading.tick();
            program->logging.tick();
        }
        const QDateTime cutAt = t.clock.now();
        program.reset();
        t.files.powerOn(end);
        QByteArray backup = fileBytes(t.ctx.paths.dataStore);
        // A kill in the middle of a buffered write leaves a record cut short, which the start takes off.
        if (end == FaultyFileIo::Cut::Kill && !backup.isEmpty()) {
            ASSERT_TRUE(writeFileBytes(t.ctx.paths.dataStore, backup + "15/01/2009 09:59:59,2009,1,15,9,59"));
        }
        t.clock.advance(std::uniform_int_distribution(10, 300)(random));
        SCOPED_TRACE("cut " + std::to_string(cut) + " at " + cutAt.toString(Qt::ISODate).toStdString());

        program = std::make_unique<Program>(t);
        ASSERT_EQ(program->reading.load(), "") << "nothing damaged";
        const qint64 lost = countedAtStart + qint64(fed.size()) - program->reading.reading().revolutions;
        ASSERT_GE(lost, 0) << "never ahead";
        ASSERT_LE(lost, qint64(fed.size()));
        const qint64 seconds = lost == 0 ? 0 : fed[fed.size() - lost].secsTo(cutAt);
        EXPECT_LT(seconds, MeterReadingStore::SyncSeconds) << lost << " revolutions lost";
        if (end == FaultyFileIo::Cut::Kill) {
            EXPECT_LE(lost, 1) << "a kill loses the revolution being written at most";
        }
        std::tie(worstLost, worstSeconds) = std::tuple(std::max(worstLost, lost), std::max(worstSeconds, seconds));

        const std::optional<RunMarker::UnfinishedRun> run = RunMarker::unfinishedRun(program->ctx);
        ASSERT_TRUE(run && run->start == runStart) << "the same run";
        const ResumeOutcome outcome = resume_logging_run(program->ctx, program->logging, *run);
        ASSERT_TRUE(outcome.resumed);
        EXPECT_EQ(outcome.message.isEmpty(), !backup.isEmpty()) << outcome.message.toStdString();
        // Records follow one another by the interval, counted once, but for the first after a start: it says the
        // time from the last record on the disk to the start, after which it comes an interval later. The table
        // holds the newest of them as they are on the disk.
        const QList<QByteArray> records =
            backup.isEmpty() ? QList<QByteArray>() : backup.split('\n').mid(1, backup.count('\n') - 1);
        const DataArray& data = program->ctx.varGlobalDataArray;
        ASSERT_EQ(data.count(), std::min<qsizetype>(records.size(), Table)) << "the newest records on the disk";
        const RecordLine lines(program->ctx);
        LogRecord before;
        before.DateTime = runStart;
        resumedRecords = 0;
        for (qsizetype i = 0; i < records.size(); ++i) {
            LogRecord r;
            const QString text = QString::fromLocal8Bit(records[i]).chopped(1); // the comment read last points into it
            ASSERT_EQ(lines.read(text, r, RecordLine::Fields::Whole), "") << i;
            const qint64 gap = before.DateTime.secsTo(r.DateTime) - t.ctx.settings.LOGGING_INTERVAL_SECONDS;
            EXPECT_EQ(std::tuple(RunStart(r), r.LoggingSeconds), std::tuple(runStart, runStart.secsTo(r.DateTime)))
                << i;
            EXPECT_EQ(r.LoggingTotalPulse, before.LoggingTotalPulse + r.PulsesThisInterval) << i;
            EXPECT_EQ(lines.lastComment(), gap == 0 ? QString() : ResumeComment(gap)) << i;
            resumedRecords += gap == 0 ? 0 : 1;
            if (const qsizetype row = i - (records.size() - data.count()) + 1; row >= 1) {
                EXPECT_EQ(lines.line(data.row(qint32(row))), records[i] + '\n') << i;
            }
            before = r;
        }
    }
    EXPECT_GT(resumedRecords, 10) << "many starts had their first record on the disk";
    program->logging.stopButton();
    t.files.cutPower();
    program.reset();
    t.files.powerOn();
    FreshMemory restarted(t);
    EXPECT_FALSE(RunMarker::unfinishedRun(restarted.ctx)) << "a stopped run stays stopped";
    std::printf("Most of the reading lost by a cut: %lld revolutions; the oldest of them %lld s before it\n",
                static_cast<long long>(worstLost), static_cast<long long>(worstSeconds));
}

} // namespace
