// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/MeterReadingStore.h"
#include "metering/PulseSignal.h"
#include "metering/Tariffs.h"
#include "support/TestContext.h"

#include <gtest/gtest.h>

namespace {

const MeterSource Hall{MeterSource::Kind::Camera, QStringLiteral("Hall camera")};
const MeterSource Simulated{MeterSource::Kind::SimulatedMeter, {}};

struct MeterReadingTest : testing::Test
{
    TestContext t;
    std::optional<MeterReadingStore> store{std::in_place, t.ctx};

    void SetUp() override
    {
        std::tie(t.ctx.settings.REVS_PER_KWH, t.ctx.settings.COST_PER_KWH) = std::tuple(300, 10);
        ResetWorkingValues(t.ctx);
        LoadWorkingMeterValues(t.ctx);
        ASSERT_EQ(store->load(), "");
    }
    void revolutions(int n, const MeterSource& from = Hall, double secondsApart = 1.0, Turn turn = Turn::Forward)
    {
        for (int i = 0; i < n; ++i) {
            t.clock.advance(secondsApart);
            RegisterPulse(t.ctx, 1, t.clock.timer(), from, {turn});
            store->tick();
        }
    }
    // As a restart finds it, with that file limit; the message of the load.
    QString restart(qint64 compactBytes = MeterReadingStore::CompactBytes)
    {
        store.reset();
        store.emplace(t.ctx, compactBytes);
        return store->load();
    }
    const MeterRegister& reading(int tariff = 1) const { return store->reading(tariff); }
    QByteArray file() const { return fileBytes(t.path(QStringLiteral("METERREADING.DTA"))); }
};

TEST_F(MeterReadingTest, EachRevolutionCountsAtTheConstantAndPriceInForceThenAndTheCostOnlyGrows)
{
    revolutions(3);
    EXPECT_FALSE(reading().isSet());
    EXPECT_FALSE(QFile::exists(t.path(QStringLiteral("METERREADING.DTA")))) << "nothing to keep before it is set";
    ASSERT_EQ(store->setReading(1000, Hall), "");
    t.ctx.trip = RunState{};
    revolutions(150);
    // Corrected settings reach the next revolution with no run going, whose minute would take them.
    std::tie(t.ctx.settings.REVS_PER_KWH, t.ctx.settings.COST_PER_KWH) = std::tuple(600, 20);
    revolutions(300);
    EXPECT_EQ(reading().kWh(), 1001.0) << "150 at 300 and 300 at 600 revolutions per kWh";
    EXPECT_EQ(reading().cost(), 15.0);
    EXPECT_EQ(t.ctx.pulse.dblGlobalWkgRevsPerKWH, 300) << "the working values wait for a run's minute";
    EXPECT_EQ(restart(), "");
    EXPECT_EQ(std::tuple(reading().kWh(), reading().cost(), reading().revolutions, reading().source),
              std::tuple(1001.0, 15.0, qint64(450), Hall));

    // A corrected reading keeps the cost counted so far, through a restart and a rewrite of the file; a first
    // setting is written as it always was.
    ASSERT_EQ(store->setReading(990, Hall), "");
    revolutions(60);
    EXPECT_NEAR(reading().kWh(), 990.1, 1e-9);
    EXPECT_NEAR(reading().cost(), 17.0, 1e-9);
    EXPECT_EQ(restart(1), "");
    revolutions(6);
    EXPECT_EQ(restart(), "");
    EXPECT_NEAR(reading().kWh(), 990.11, 1e-9);
    EXPECT_NEAR(reading().cost(), 17.2, 1e-9);
    EXPECT_TRUE(file().startsWith("S 452 ") && file().contains(" 990 camera%3AHall%20camera 15*"))
        << file().toStdString();
}

TEST_F(MeterReadingTest, ACountedBackwardTurnTakesItsRevolutionOffAndTheEnergyEachWayIsKeptLikeTheReading)
{
    ASSERT_EQ(store->setReading(100, Hall), "");
    revolutions(2, Hall, 1.0, Turn::Backward);
    // Without COUNT_DIRECTION every revolution is forward, written as ever.
    EXPECT_EQ(file(),
              QByteArray("S 1 1232010000 100 camera%3AHall%20camera*2c4efdb6\n"
                         "R 2 1232010001 1 1 1 300 10 100 0*bf2db1f5\nR 3 1232010002 1 2 2 300 10 100 0*4bca85c7\n"));

    t.ctx.settings.COUNT_DIRECTION = true;
    ASSERT_EQ(store->setReading(1000, Hall), "");
    revolutions(10);
    revolutions(4, Hall, 1.0, Turn::Backward);
    // Killed: the file as the process left it, whatever its end would have done.
    const QByteArray left = file();
    store.reset();
    ASSERT_TRUE(writeFileBytes(t.path(QStringLiteral("METERREADING.DTA")), left));
    EXPECT_EQ(restart(), "");
    EXPECT_EQ(std::tuple(reading().kWh(), reading().cost(), reading().importedKWh(), reading().exportedKWh()),
              std::tuple(1000 + 6 / 300.0, 2 * 10 / 300.0 + 6 * 10 / 300.0, 10 / 300.0, 4 / 300.0))
        << "the cost is of the net energy";

    // A new setting carries the energy each way on, and the counts may fall below 0; through a rewrite too.
    ASSERT_EQ(store->setReading(500, Hall), "");
    EXPECT_EQ(restart(1), "");
    EXPECT_EQ(reading().exportedKWh(), 4 / 300.0);
    revolutions(4, Hall, 1.0, Turn::Backward);
    EXPECT_EQ(restart(), "");
    EXPECT_EQ(file().count('\n'), 2) << "rewritten";
    EXPECT_EQ(std::tuple(reading().revolutions, reading().kWh(), reading().importedKWh(), reading().exportedKWh()),
              std::tuple(-4, 500 + -4 / 300.0, 10 / 300.0, 4 / 300.0 + 4 / 300.0));
}

TEST_F(MeterReadingTest, OnlyRevolutionsFromTheSourceItWasSetForMoveIt)
{
    ASSERT_EQ(store->setReading(500, Hall), "");
    RegisterPulse(t.ctx, 1); // the pulse simulator
    revolutions(1, Simulated);
    revolutions(1, {MeterSource::Kind::VideoFile, QStringLiteral("/home/me/meter.mp4")});
    revolutions(1, {MeterSource::Kind::Camera, QStringLiteral("Garage camera")});
    EXPECT_EQ(reading().revolutions, 0);
    revolutions(3);
    EXPECT_EQ(reading().revolutions, 3);

    // A reading that follows nothing is refused; the MQTT command tests refuse negative and unreadable ones.
    EXPECT_TRUE(store->setReading(400, MeterSource{}).startsWith("No camera is running or remembered"));
    EXPECT_EQ(std::tuple(reading().setKWh, reading().revolutions), std::tuple(500.0, 3)) << "and changes nothing";

    // Set for the simulated meter it follows that, and the camera no longer moves it.
    ASSERT_EQ(store->setReading(20, Simulated), "");
    revolutions(2);
    revolutions(3, Simulated);
    EXPECT_EQ(reading().revolutions, 3);

    // With no camera running, a new reading follows the remembered one.
    std::tie(t.ctx.settings.REMEMBER_CAMERA, t.ctx.settings.CAMERA_DEVICE, t.ctx.settings.CAMERA_VIDEO_FILE) =
        std::tuple(true, MeterSource::VideoFileDevice, QStringLiteral("/v/m.mp4"));
    EXPECT_EQ(store->sourceForNewReading(), (MeterSource{MeterSource::Kind::VideoFile, QStringLiteral("/v/m.mp4")}));
    store->setCameraSource(Hall);
    EXPECT_EQ(store->sourceForNewReading(), Hall);
}

TEST_F(MeterReadingTest, TheDiskIsWrittenAtMostOnceInTenSecondsRewritesIncluded)
{
    restart(4000);
    ASSERT_EQ(store->setReading(1234.5, Hall), "");
    revolutions(600, Hall, 0.5); // five minutes
    const int syncs = t.files.attempts(FaultyFileIo::Op::Sync, t.path(QStringLiteral("METERREADING.DTA")));
    const int rewrites = t.files.attempts(FaultyFileIo::Op::Rename, t.path(QStringLiteral("METERREADING.DTA")));
    EXPECT_GT(rewrites, 0);
    EXPECT_LE(syncs + rewrites, 31) << "one in ten seconds, the first at once";
}

TEST_F(MeterReadingTest, WithTwoTariffsEachRegisterCountsTheRevolutionsOfItsTariffFromTheFirstAfterASwitch)
{
    GlobalSettings& s = t.ctx.settings;
    std::tie(s.TARIFF_COUNT, s.TARIFF_FROM_MQTT, s.COST_PER_KWH, s.TARIFF_2_COST_PER_KWH) = std::tuple(2, true, 20, 8);
    ASSERT_EQ(store->setReading(1000, Hall), "");
    EXPECT_FALSE(store->total()) << "unknown until both registers are set";
    ASSERT_EQ(store->setReading(200, Hall, 2), "");
    revolutions(30);
    // A run's figures take the switch at its next minute; the registers at the next revolution, run or none.
    t.ctx.blnGlobalTripRunning = true;
    ASSERT_EQ(setTariffFromCommand(t.ctx, 2), "");
    revolutions(63);
    EXPECT_EQ(t.ctx.pulse.intGlobalWkgTarrifNumber, 1);
    EXPECT_NEAR(reading(1).cost(), 2.0, 1e-12);
    EXPECT_NEAR(reading(2).cost(), 1.68, 1e-12);
    EXPECT_NEAR(store->total()->kWh, 1200.31, 1e-9);
    // Read back after a restart, with the last revolution (of tariff 2) torn off.
    ASSERT_TRUE(writeFileBytes(t.path(QStringLiteral("METERREADING.DTA")), file().chopped(3)));
    const QString said = restart();
    EXPECT_TRUE(said.contains("last good state kept: Day 1000.100 kWh, as counted at 15/01/2009 09:00; Night "
                              "200.207 kWh, as counted at 15/01/2009 09:01. What its last 1 line(s)"))
        << said.toStdString();

    t.ctx.blnGlobalTripRunning = false;
    ASSERT_EQ(setTariffFromCommand(t.ctx, 1), "");
    const double night = reading(2).kWh();
    revolutions(3);
    EXPECT_EQ(reading(2).kWh(), night);
    EXPECT_NEAR(reading(1).kWh(), 1000.11, 1e-9);
}

TEST_F(MeterReadingTest, AFileFromBeforeTwoTariffsIsTariffOnesRegisterWrittenAsBefore)
{
    t.ctx.settings.TARIFF_COUNT = 2;
    const QByteArray set = "S 1 1231923600 100 camera%3AHall%20camera*48aa643a\n";
    ASSERT_TRUE(writeFileBytes(t.path(QStringLiteral("METERREADING.DTA")),
                               set + "R 2 1231923630 1 30 30 300 10 100 0*baa3e3d3\n"));
    EXPECT_EQ(restart(1), "");
    EXPECT_EQ(std::tuple(reading(1).kWh(), reading(1).cost(), reading(2).isSet()), std::tuple(100 + 0.1, 1.0, false));
    revolutions(1); // past the file limit: rewritten from the state
    EXPECT_TRUE(file().startsWith(set)) << file().toStdString();
    EXPECT_EQ(file().count('\n'), 2);
}

TEST_F(MeterReadingTest, ADamagedFileIsSaidAndTheLastGoodStateIsUsed)
{
    // METERREADING.BAK: set to 100, 31 revolutions; the file after it: the setting and revolutions 31 to 60.
    ASSERT_EQ(store->setReading(100, Hall), "");
    revolutions(30);
    EXPECT_EQ(restart(1), "");
    revolutions(1);
    restart();
    revolutions(29);
    store.reset();
    const QByteArray whole = file();
    ASSERT_EQ(whole.count('\n'), 31) << "the setting and revolutions 31 to 60";
    static const char garbage[] = "\x7f"
                                  "ELF\0\0\1garbage\nR 1 2 3*00000000\n";
    // What is done to the file, what the load says of it, the reading from the last good state.
    const std::tuple<const char*, std::function<QByteArray(const QByteArray&)>, const char*, double> cases[] = {
        {"torn last line", [](const QByteArray& f) { return f.chopped(7); }, "ends in a line that was cut short",
         100 + 59 / 300.0},
        {"bad checksum in the middle",
         [](QByteArray f) {
             const qsizetype end = f.indexOf('\n', f.indexOf('\n') + 1);
             f[end - 1] = f[end - 1] == '0' ? '1' : '0';
             return f;
         },
         "has 1 damaged line(s) of 31 (line 2)", 100.2},
        {"empty", [](const QByteArray&) { return QByteArray(); }, "is empty", 100 + 31 / 300.0},
        {"garbage", [](const QByteArray&) { return QByteArray(garbage, sizeof garbage - 1); },
         "holds nothing Wattsight can read", 100 + 31 / 300.0},
    };
    for (const auto& [name, damage, says, kWh] : cases) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(writeFileBytes(t.path(QStringLiteral("METERREADING.DTA")), damage(whole)));
        const QString said = restart();
        EXPECT_TRUE(said.contains(QLatin1String(says))) << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("kept as METERREADING.BAD"))) << said.toStdString();
        EXPECT_NEAR(reading().kWh(), kWh, 1e-9);
        EXPECT_EQ(fileBytes(t.path(QStringLiteral("METERREADING.BAD"))), damage(whole));
        revolutions(1);
        EXPECT_EQ(restart(), "") << "the good state was written whole again";
        EXPECT_NEAR(reading().kWh(), kWh + 1 / 300.0, 1e-9);
        store.reset();
    }

    // With nothing good anywhere the reading is not set, never 0.
    QFile::remove(t.path(QStringLiteral("METERREADING.BAK")));
    ASSERT_TRUE(writeFileBytes(t.path(QStringLiteral("METERREADING.DTA")), "S 1 2 x*12345678\n"));
    EXPECT_TRUE(restart().contains(QStringLiteral("the meter reading is not set")));
    EXPECT_FALSE(reading().isSet());
}

TEST_F(MeterReadingTest, AFailingDiskIsSaidOnceAndTheReadingIsWrittenWholeWhenItWorksAgain)
{
    ASSERT_EQ(store->setReading(10, Hall), "");
    t.files.fail(FaultyFileIo::Op::Write, t.path(QStringLiteral("METERREADING.DTA")), 1);
    t.files.fail(FaultyFileIo::Op::Open, t.path(QStringLiteral("METERREADING.DTA")), 3);
    revolutions(30);
    EXPECT_EQ(t.dialogs.texts(), QStringList{QStringLiteral(
                                     "Problem keeping the meter reading in METERREADING.DTA: Couldn't write data to "
                                     "file\r\nThe reading goes on here and is written again as soon as the disk "
                                     "takes it.")});
    revolutions(30);
    EXPECT_EQ(restart(), "");
    EXPECT_EQ(reading().revolutions, 60);
}

TEST_F(MeterReadingTest, TheAccuracyCheckSaysHowFarCountingHasDrifted)
{
    EXPECT_NE(store->checkAccuracy(5), "") << "not set";
    t.clock.setNow(QDateTime(QDate(2026, 12, 1), QTime(9, 12, 40)));
    t.ctx.settings.REVS_PER_KWH = 10;
    ASSERT_EQ(store->setReading(1000, Hall), "");
    revolutions(1234);
    EXPECT_NE(store->checkAccuracy(1000), "") << "the meter must have advanced";
    ASSERT_EQ(store->checkAccuracy(1124), "");
    EXPECT_EQ(reading().checks.back().text(t.ctx.locale),
              "Counted 123.40 kWh since 1 Dec 2026 09:12; the meter advanced 124.00 kWh: counting is 0.48 % low");
    for (int i = 0; i < 11; ++i)
        ASSERT_EQ(store->checkAccuracy(1120 + i * 0.1), "");
    EXPECT_EQ(reading().checks.size(), 10u);
    EXPECT_TRUE(reading().checks.back().text(t.ctx.locale).endsWith(QLatin1String("counting is 1.98 % high")));
    const std::vector<AccuracyCheck> checks = reading().checks;
    EXPECT_EQ(restart(1), ""); // each write from now on rewrites the file whole
    EXPECT_EQ(reading().checks, checks);
    ASSERT_EQ(store->setReading(1130, Hall), "");
    EXPECT_EQ(restart(), "");
    EXPECT_EQ(reading().checks, checks) << "a corrected reading keeps its history, in a file rewritten whole too";
}

} // namespace
