// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/LoggingEngine.h"

#include "RunFixture.h"
#include "app/MeterSource.h"
#include "metering/LogEvent.h"
#include "metering/PulseSignal.h"
#include "metering/RecordLine.h"
#include "metering/Tariffs.h"

#include <gtest/gtest.h>
#include <utility>

namespace {

// A logging run at 1000 revs/kWh and 15.0 per kWh with the camera running, driven through the fake clock,
// pulses and timer ticks only.
struct LoggingTest : RunFixture
{
    LoggingEngine engine{t.ctx};

    void SetUp() override
    {
        std::tie(t.ctx.settings.REVS_PER_KWH, t.ctx.settings.COST_PER_KWH) = std::tuple(1000, 15.0);
        t.ctx.blnGlobalCameraRunning = true;
        LoadWorkingMeterValues(t.ctx);
        engine.load();
    }
    void start(double timer = 1000.4)
    {
        t.clock.setTimer(timer);
        ASSERT_TRUE(engine.startButton());
    }
    void runFor(double seconds, double step = 0.2) { tickFor(engine, seconds, step); }
    void pulse()
    {
        SetPulseInProgress(t.ctx);
        SetMarkOn(t.ctx);
        RegisterPulse(t.ctx, 7);
        ClearPulseInProgress(t.ctx);
        SetMarkOff(t.ctx);
    }
    const DataArray& data() const { return t.ctx.varGlobalDataArray; }
    // A second tariff, at 5 per kWh, in force during those hours.
    void nightTariff(const char* hours)
    {
        std::tie(t.ctx.settings.TARIFF_COUNT, t.ctx.settings.TARIFF_2_HOURS) =
            std::tuple(2, QString::fromLatin1(hours));
    }
    QByteArray line(int row) const { return RecordLine(t.ctx).line(data().row(row)); }
};

TEST_F(LoggingTest, RecordsFallOnTheIntervalFromTheStartHoldTheirFiguresAndOwnCommentAndNoBackupComesBeforeTheFirst)
{
    t.ctx.settings.DATA_ARRAY_LENGTH = 100000000;      // a huge table starts at once
    t.ctx.settings.ARRAY_WRITE_INTERVAL_SECONDS = 120; // due before the first record, with nothing to write
    InitialiseDataArray(t.ctx);
    start(1000.4);
    for (int i = 0; i < 5; ++i) {
        runFor(10);
        pulse();
    }
    t.ctx.strGlobalUserComment = QStringLiteral("kettle on");
    runFor(249.8); // 1300.2
    EXPECT_EQ(std::tuple(data().count(), exists("DATASTOR.DTA")), std::tuple(0, false));
    runFor(10.2);
    ASSERT_EQ(data().count(), 1);
    // The start's fraction of a second does not count: 300 logging seconds.
    EXPECT_EQ(line(1), "15/01/2009 00:21:40,2009,1,15,0,21,40,5,0.005,0.075,300,5,0.005,0.075,0.06,0.9,1000,15,1,7,"
                       "kettle on\r\n");

    runFor(300); // an interval without pulses, recorded at 1600.0: whole seconds from here on
    ASSERT_EQ(data().count(), 2);
    EXPECT_EQ(t.ctx.loggingFiles.dblGlobalTimeLastLOGGINGevent, 1600.0);
    EXPECT_EQ(line(2), "15/01/2009 00:26:40,2009,1,15,0,26,40,0,0.005,0.075,600,5,0,0,0,0,1000,15,1,7,\r\n");
    EXPECT_EQ(data().capacity(), 100000000);
}

TEST_F(LoggingTest, ACountedBackwardTurnTakesItsRevolutionOffShowsAPowerBelowZeroAndIsNotedInItsRecord)
{
    std::tie(t.ctx.settings.COUNT_DIRECTION, t.ctx.settings.LOGGING_INTERVAL_SECONDS) = std::tuple(true, 60);
    const auto turn = [&](Turn turn, double after, bool decided = true) {
        runFor(after);
        RegisterPulse(t.ctx, 7, t.clock.timer(), MeterSource{}, {turn, decided});
    };
    start(1000.4);
    for (int i = 0; i < 5; ++i)
        turn(Turn::Forward, 3.6); // 1 kW
    turn(Turn::Backward, 1.8);
    EXPECT_NEAR(t.ctx.pulse.dblGlobalInstantKW, 1.0, 1e-9) << "a reversal times no revolution";
    turn(Turn::Backward, 1.8, false);
    turn(Turn::Backward, 1.8);
    runFor(3.6);
    engine.RefreshLoggingDisplay();
    EXPECT_EQ(engine.display().Text11 + '|' + engine.display().powerNow,
              "-2|Power now: at most 1 kW exported (no revolution for 3 s)");
    turn(Turn::Forward, 3.6);
    t.ctx.strGlobalUserComment = QStringLiteral("kettle");
    runFor(29.4);
    ASSERT_EQ(data().count(), 1);
    EXPECT_EQ(line(1), "15/01/2009 00:17:40,2009,1,15,0,17,40,3,0.003,0.045,60,3,0.003,0.045,0.18,2.7,1000,15,1,7,"
                       "kettle; 3 revolutions backward\r\n");
    EXPECT_NEAR(t.ctx.logging.avg5minKWH, 0.18, 1e-12);
    turn(Turn::Backward, 30);
    runFor(30);
    EXPECT_EQ(line(2), "15/01/2009 00:18:40,2009,1,15,0,18,40,-1,0.002,0.03,120,2,-0.001,-0.015,-0.06,-0.9,1000,15,1,7,"
                       "1 revolution backward\r\n");
    EXPECT_EQ(std::tuple(t.ctx.trip.totalPulse, t.ctx.pulse.undecidedPasses), std::tuple(2, 1));
}

TEST_F(LoggingTest, EachRevolutionIsPricedAtTheTariffItWasCountedInAndTheRecordCarriesTheTariffInForce)
{
    nightTariff("00:20-06:00");
    start(1000.4); // 00:16:40
    for (int i = 0; i < 5; ++i) {
        runFor(10);
        pulse();
    }
    runFor(179.6); // 00:20:30, but the tariff changes with the working values, at the minute update of 00:20:40
    pulse();
    EXPECT_EQ(t.ctx.pulse.intGlobalWkgTarrifNumber, 1);
    runFor(20);
    pulse();
    EXPECT_EQ(t.ctx.logging.totalCost, 6 * 15 / 1000.0 + 5 / 1000.0);
    runFor(51);
    ASSERT_EQ(data().count(), 1);
    EXPECT_EQ(line(1), "15/01/2009 00:21:40,2009,1,15,0,21,40,7,0.007,0.095,300,7,0.007,0.095,0.084,1.14,1000,5,2,7,"
                       "\r\n");
    EXPECT_EQ(std::tuple(t.ctx.logging.window5min.slot(4).tariff, t.ctx.logging.window5min.slot(5).tariff),
              std::tuple(1, 2));
}

TEST_F(LoggingTest, AResumedRunWithTwoTariffsKeepsTheCostItRecordedBeforeTheRestart)
{
    LogRecord last;
    std::tie(last.LoggingTotalPulse, last.TotalCost) = std::tuple(100, 1.0); // not 100 at tariff 2
    t.ctx.varGlobalDataArray.append(last);
    nightTariff("00:00-24:00");
    engine.ResumeLogging(t.clock.now().addSecs(-3600), QString());
    pulse();
    EXPECT_EQ(t.ctx.logging.totalCost, 1.0 + 5 / 1000.0);
}

TEST_F(LoggingTest, TheScheduleFollowsTheWallClockThroughADaylightSavingChange)
{
    const ScopedEnv london("TZ", "Europe/London");
    nightTariff("00:00-07:00");
    t.clock.setNow(QDateTime(QDate(2009, 3, 29), QTime(0, 30))); // clocks go forward from 01:00 to 02:00
    LoadWorkingMeterValues(t.ctx);
    const qint16 before = t.ctx.pulse.intGlobalWkgTarrifNumber;
    t.clock.advance(5 * 3600 + 29 * 60);
    LoadWorkingMeterValues(t.ctx);
    const qint16 lastMinute = t.ctx.pulse.intGlobalWkgTarrifNumber;
    const QTime wallClock = t.clock.now().time();
    t.clock.advance(60); // five and a half hours after 00:30: 07:00 on the wall clock
    LoadWorkingMeterValues(t.ctx);
    const qint16 after = t.ctx.pulse.intGlobalWkgTarrifNumber;
    EXPECT_EQ(wallClock, QTime(6, 59));
    EXPECT_EQ(std::tuple(before, lastMinute, after), std::tuple(qint16{2}, qint16{2}, qint16{1}));
}

TEST_F(LoggingTest, TheTariffLastSetByCommandReplacesTheScheduleAndSurvivesARestart)
{
    nightTariff("00:00-24:00");
    t.ctx.settings.TARIFF_FROM_MQTT = true;
    LoadWorkingMeterValues(t.ctx);
    EXPECT_EQ(t.ctx.pulse.intGlobalWkgTarrifNumber, 1) << "no command yet";
    EXPECT_EQ(setTariffFromCommand(t.ctx, 3), "A tariff command must be 1 or 2, not 3");
    EXPECT_EQ(setTariffFromCommand(t.ctx, 2), "");
    EXPECT_EQ(t.ctx.pulse.intGlobalWkgTarrifNumber, 1) << "until the next minute update";
    LoadWorkingMeterValues(t.ctx);
    EXPECT_EQ(std::pair(t.ctx.pulse.intGlobalWkgTarrifNumber, t.ctx.pulse.dblGlobalWkgCostPerKWH),
              std::pair(qint16{2}, 5.0));
    EXPECT_EQ(bytes("TARIFF.STATE"), "TARIFF=2\r\n");

    t.ctx.tariffFromCommand = 1; // a restart
    EXPECT_EQ(LoadTariffState(t.ctx), "");
    EXPECT_EQ(t.ctx.tariffFromCommand, 2);

    // Not kept: in force for this run only, and said so.
    t.files.fail(FaultyFileIo::Op::Open, path("TARIFF.STATE"), 3);
    EXPECT_EQ(setTariffFromCommand(t.ctx, 1),
              "Tariff 1 is in force but could not be kept for a restart: Couldn't open the file for writing\r\n");
    EXPECT_EQ(t.ctx.tariffFromCommand, 1);
    EXPECT_EQ(bytes("TARIFF.STATE"), "TARIFF=2\r\n");

    write("TARIFF.STATE", "TARIFF=7\r\n");
    EXPECT_EQ(LoadTariffState(t.ctx),
              "The tariff last set by command could not be read from TARIFF.STATE, so tariff 1 is in force until the "
              "next command: it holds \"TARIFF=7\" where TARIFF=1 or TARIFF=2 belongs\r\n");
    EXPECT_EQ(t.ctx.tariffFromCommand, 1);
    EXPECT_EQ(bytes("TARIFF.STATE"), "TARIFF=7\r\n") << "left for the user to see";

    t.ctx.settings.TARIFF_COUNT = 1;
    LoadWorkingMeterValues(t.ctx);
    EXPECT_EQ(std::pair(t.ctx.pulse.intGlobalWkgTarrifNumber, t.ctx.pulse.dblGlobalWkgCostPerKWH),
              std::pair(qint16{1}, 15.0));
}

TEST_F(LoggingTest, FileOperationsFailingTwiceLoseNothingAndAStartCancelledAtTheSecondQuestionResetsNothing)
{
    t.ctx.settings.WRITE_DIFF_LOG_FILE = true;
    for (const char* name : {"DATASTOR.DTA", "DIFFLOG.DTA"}) {
        t.files.fail(FaultyFileIo::Op::Open, path(name), 2);
        t.files.fail(FaultyFileIo::Op::Write, path(name), 2);
    }
    t.files.fail(FaultyFileIo::Op::Open, path("DIFFLOG.CTL"), 2);
    t.files.fail(FaultyFileIo::Op::Remove, path("DIFFLOG.CTL"), 2);
    start();
    runFor(601);
    EXPECT_TRUE(t.dialogs.shown.empty());
    EXPECT_EQ(bytes("DATASTOR.DTA"), bytes("DIFFLOG.DTA"));
    EXPECT_EQ(lines("DIFFLOG.DTA").size(), 3);
    EXPECT_FALSE(exists("DIFFLOG.CTL"));

    engine.stopButton();
    t.dialogs.setNextAnswer(Dialogs::Answer::Yes);    // overwrite the file
    t.dialogs.setNextAnswer(Dialogs::Answer::Cancel); // but not the data in memory
    EXPECT_FALSE(engine.startButton() || t.ctx.blnGlobalLoggingRunning);
    EXPECT_TRUE(data().count() == 2 && exists("DATASTOR.DTA")) << "nothing reset";

    EXPECT_TRUE(engine.startButton());
    EXPECT_EQ(data().count(), 0);
}

// The message waits for OK while the timer goes on ticking: an hour of it holds up no record.
TEST_F(LoggingTest, AFailedBackupIsReportedOnceStopsFurtherBackupsAndItsOpenMessageHoldsUpNoRecord)
{
    const QString store = path("DATASTOR.DTA");
    t.files.fail(FaultyFileIo::Op::Open, store);
    t.dialogs.onMessage = [&](const ScriptedDialogs::Shown&) { runFor(3600, 1.0); };
    start();
    runFor(599.8);
    const double before = t.clock.timer();
    runFor(1.0);
    EXPECT_NEAR(t.clock.timer() - before, 3604.0, 0.11) << "three attempts, a second after each, and the hour";
    EXPECT_EQ(t.files.attempts(FaultyFileIo::Op::Open, store), 3);
    EXPECT_EQ(t.dialogs.texts(),
              QStringList{"Error writing to disk: Couldn't open the file for writing\r\n\r\nLogging continues "
                          "but will not be backed up to disk. Please export data manually at end if you want to keep "
                          "it."});
    EXPECT_TRUE(t.ctx.loggingFiles.blnGlobalDiskBackupFailed && t.ctx.blnGlobalLoggingRunning);
    EXPECT_EQ(t.ctx.loggingFiles.lngGlobalLastRecordWrittenToDisk, 2) << "handed over all the same";
    ASSERT_EQ(data().count(), 14);
    for (int r = 1; r <= 14; ++r)
        EXPECT_EQ(data().row(r).LoggingSeconds, 300 * r) << "on time, none holding the gap";

    runFor(1200);
    engine.stopButton();
    EXPECT_EQ(std::tuple(t.files.attempts(FaultyFileIo::Op::Open, store), t.dialogs.shown.size()), std::tuple(3, 1u));
}

TEST_F(LoggingTest, DifferenceLogErrorsShowOnceFromTheTimerAndAtEveryStop)
{
    t.ctx.settings.WRITE_DIFF_LOG_FILE = true;
    t.files.fail(FaultyFileIo::Op::Remove, path("DIFFLOG.CTL"));
    const QString expected =
        QStringLiteral("Error writing log interface file to disk: Couldn't delete control file\r\n\r\n");
    start();
    runFor(1801); // backups at 600, 1200 and 1800
    EXPECT_EQ(t.dialogs.texts(), QStringList{expected});
    EXPECT_TRUE(t.ctx.loggingFiles.blnGlobalDiffLogErrorShown);
    EXPECT_EQ(lines("DIFFLOG.DTA").size(), 7) << "the data went in; only the control file stayed";

    runFor(300);
    engine.stopButton();
    EXPECT_EQ(t.dialogs.texts(), (QStringList{expected, expected}));
    EXPECT_EQ(lines("DATASTOR.DTA").size(), 8);
}

TEST_F(LoggingTest, ATickArrivingWhileTheMinuteOrABackupWaitsStartsNothingNew)
{
    t.files.fail(FaultyFileIo::Op::Open, path("DATASTOR.DTA"), 2);
    int turns = 0;
    t.pump.onEvents = [&] {
        engine.tick();
        if (++turns == 5)
            ClearPulseInProgress(t.ctx); // the mark moves on while the minute update waits
    };
    start();
    runFor(59.8);
    SetPulseInProgress(t.ctx);
    runFor(540.4); // the backup at 600 waits twice
    EXPECT_GE(turns, 7);
    EXPECT_TRUE(t.ctx.logging.window1hour.slot(10).closed);
    EXPECT_FALSE(t.ctx.logging.window1hour.slot(11).closed) << "one minute closed each minute";
    EXPECT_EQ(std::tuple(t.files.attempts(FaultyFileIo::Op::Open, path("DATASTOR.DTA")), lines("DATASTOR.DTA").size()),
              std::tuple(3, 3));
}

TEST_F(LoggingTest, StopPressedWhileTheTimersBackupWaitsStillBacksUpEveryRow)
{
    const QString store = path("DATASTOR.DTA");
    start();
    runFor(599.8);
    t.files.fail(FaultyFileIo::Op::Write, store, 1);
    bool stopped = false;
    t.pump.onEvents = [&] {
        if (stopped)
            return;
        stopped = true;
        t.clock.advance(300); // a record lands in memory as the Stop arrives
        DoWriteLogevent(t.ctx);
        engine.stopButton();
        EXPECT_FALSE(engine.startButton()) << "refused until the final backup is on disk";
        EXPECT_FALSE(engine.display().startEnabled);
    };
    runFor(0.4);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(lines("DATASTOR.DTA").size(), 4);
    EXPECT_TRUE(t.dialogs.shown.empty() && engine.display().startEnabled);
}

TEST_F(LoggingTest, ADataSetReplacedDuringAWaitingWriteNeverMixesIntoTheOldRun)
{
    t.ctx.settings.ARRAY_WRITE_INTERVAL_SECONDS = 7200;
    start();
    runFor(900.2);
    ASSERT_EQ(data().count(), 3);
    t.files.fail(FaultyFileIo::Op::Write, path("DATASTOR.DTA"), 1);
    bool replaced = false;
    t.pump.onEvents = [&] {
        if (std::exchange(replaced, true))
            return;
        LogRecord imported; // an import fills the table afresh from row 1
        imported.LoggingSeconds = 42;
        for (int r = 1; r <= 3; ++r)
            t.ctx.varGlobalDataArray.store(r, imported);
    };
    engine.stopButton();
    const QList<QByteArray> file = lines("DATASTOR.DTA");
    ASSERT_EQ(file.size(), 2) << "header and the old run's record 1, already built when the wait began";
    EXPECT_EQ(file[1].split(',')[10], "300");
}

TEST_F(LoggingTest, StopAndStartWhileATickWaitsGiveTheNewRunNoStaleRecordOrMinute)
{
    t.ctx.settings.WRITE_LIVE_DATA_FILE = true;
    start();
    runFor(59.8);
    t.files.fail(FaultyFileIo::Op::Open, t.ctx.paths.liveData, 1);
    t.pump.onEvents = [&] {
        engine.stopButton();
        engine.startButton();
    };
    runFor(59.0);
    EXPECT_EQ(data().count(), 0);
    EXPECT_FALSE(t.ctx.logging.window1hour.slot(1).closed);
}

TEST_F(LoggingTest, MinuteUpdatesFeedTheAveragesAndTheLiveFileWithTheBackupSwitchedOff)
{
    std::tie(t.ctx.settings.WRITE_LIVE_DATA_FILE, t.ctx.settings.WRITE_ARRAY_TO_DISK) = std::tuple(true, false);
    start(3600.0);
    for (int minute = 0; minute < 3; ++minute) {
        for (int i = 0; i < 2 * (minute + 1); ++i)
            pulse();
        runFor(60);
    }
    // The live line holds the averages: 0.24 over five minutes and an hour, 3.6 an hour.
    EXPECT_EQ(t.ctx.logging.seconds, 0) << "counted at records, not at minutes";
    EXPECT_EQ(bytes("LIVEDATA.DTA"),
              QByteArrayLiteral("DateTime,Year,Month,Day,Hour,Min,Sec,TotalEnergy,TotalCost,LoggingSeconds,"
                                "LoggingTotalPulse,Power5minAvg,Cost5minAvg,Power1hrAvg,Cost1hrAvg,InstantPower,"
                                "InstantCost,REVSperEnergyUnit,CostPerEnergyUnit,TarrifNumber,LightLevel\r\n"
                                "15/01/2009 01:03:00,2009,1,15,1,3,0,0.012,0.18,180,12,0.24,3.6,0.24,3.6,0.06,0.9,"
                                "1000,15,1,7\r\n"));

    runFor(120);
    engine.stopButton();
    EXPECT_EQ(data().count(), 1);
    EXPECT_FALSE(exists("DATASTOR.DTA")) << "the backup is switched off";
}

TEST(CommentCleaning, LineBreaksAndDelimitersNeverSplitARecordLineAndThreeHundredCharactersAreKept)
{
    TestContext t;
    EXPECT_EQ(CleanUserComment(t.ctx, QStringLiteral("a,b\r\nc,d")), QStringLiteral("a b c d"));
    EXPECT_EQ(CleanUserComment(t.ctx, QStringLiteral("  lone\rreturn  ")), QStringLiteral("  lone\rreturn  "));
    EXPECT_EQ(CleanUserComment(t.ctx, QString(400, QLatin1Char('x'))).size(), 300);

    // Typed comments: the box gives LF; pasted text may bring CR LF or a lone CR. Each is one line break, one space.
    EXPECT_EQ(CleanTypedComment(t.ctx, QStringLiteral("a\nb\r\nc\rd,e")), QStringLiteral("a b c d e"));
    // Cut after cleaning: a CR LF at the end of the first 300 characters is one character, not two.
    const QString x299(299, QLatin1Char('x'));
    EXPECT_EQ(CleanTypedComment(t.ctx, x299 + QStringLiteral("\r\nyz")), x299 + QStringLiteral(" "));
    for (const QString& endOfLine : {QStringLiteral("|"), QStringLiteral("\n")}) {
        t.ctx.strGlobalEndOfLine = endOfLine;
        EXPECT_EQ(CleanTypedComment(t.ctx, QStringLiteral("a\nb\r\nc")), QStringLiteral("a b c"));
    }
    t.ctx.strGlobalFieldDelimiter = QStringLiteral(";");
    EXPECT_EQ(CleanUserComment(t.ctx, QStringLiteral("a;b\r\nc,d")), QStringLiteral("a b\r c,d"));
}

} // namespace
