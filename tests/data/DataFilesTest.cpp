// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TextFormat.h"
#include "data/DataExport.h"
#include "data/DataImport.h"
#include "data/TestDataGenerator.h"
#include "support/TestContext.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

using Op = FaultyFileIo::Op;

LogRecord record(const QDateTime& when, int pulses, const QString& comment = QString())
{
    LogRecord r;
    r.DateTime = when;
    r.Year = qint16(when.date().year());
    r.Month = qint16(when.date().month());
    r.Day = qint16(when.date().day());
    r.Hour = qint16(when.time().hour());
    r.Min = qint16(when.time().minute());
    r.Sec = qint16(when.time().second());
    r.PulsesThisInterval = pulses;
    r.TotalEnergy = pulses / 600.0;
    r.TotalCost = pulses * 15.0 / 600.0;
    r.LoggingSeconds = 300;
    r.LoggingTotalPulse = pulses;
    r.EnergyThisInterval = pulses / 600.0;
    r.CostThisInterval = 0.075;
    r.AvgPowerThisInterval = 0.06;
    r.AvgCostPerHourThisInterval = 0.9;
    r.REVSperEnergyUnit = 600;
    r.CostPerEnergyUnit = 15;
    r.TarrifNumber = 1;
    r.LightLevel = 4321;
    r.UserComment = comment;
    return r;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The small fixed data set of the golden file: a midnight record and a comment holding the delimiter.
void fillSmallSet(TestContext& t)
{
    DataArray& a = t.ctx.varGlobalDataArray;
    a.append(record(QDateTime(QDate(2009, 1, 5), QTime(23, 55, 0)), 5));
    a.append(record(QDateTime(QDate(2009, 1, 6), QTime(0, 0, 0)), 0, QStringLiteral("  kettle, toaster  ")));
    a.append(record(QDateTime(QDate(2009, 1, 6), QTime(0, 5, 7)), 12345));
}

qint32 fill(TestContext& t, int records)
{
    t.ctx.pulse.dblGlobalWkgRevsPerKWH = 375;
    t.ctx.pulse.dblGlobalWkgCostPerKWH = 13.7;
    const QString error = FillArray(t.ctx, {QStringLiteral("5"), QString::number(records), QStringLiteral("97")});
    EXPECT_EQ(error, QString());
    return t.ctx.varGlobalDataArray.count();
}

TEST(DataExport, SmallSetMatchesGoldenFile)
{
    TestContext t;
    fillSmallSet(t);
    const QString out = t.path(QStringLiteral("small.csv"));
    EXPECT_EQ(write_export_file(t.ctx, out), QString());
    const QByteArray golden = readAll(QStringLiteral(WATTSIGHT_DATA_TEST_DIR "/golden/small_export.csv"));
    ASSERT_FALSE(golden.isEmpty());
    EXPECT_EQ(readAll(out), golden);
}

TEST(DataExport, ReplacesAnExistingFile)
{
    TestContext t;
    fillSmallSet(t);
    const QString out = t.path(QStringLiteral("old.csv"));
    writeFile(out, QByteArray(5000, 'x'));
    EXPECT_EQ(write_export_file(t.ctx, out), QString());
    EXPECT_TRUE(readAll(out).startsWith("DateTime,Year"));
    EXPECT_FALSE(readAll(out).contains('x'));
}

struct BarCase
{
    int records;
    int finalValue;
    int updates;
};
class ExportBar : public testing::TestWithParam<BarCase>
{
};

TEST_P(ExportBar, AdvancesOncePerStepUpToItsMaximum)
{
    TestContext t;
    t.ctx.varGlobalDataArray = DataArray(20000);
    for (int i = 0; i < GetParam().records; ++i)
        t.ctx.varGlobalDataArray.append(record(QDateTime(QDate(2009, 1, 5), QTime(9, 0)).addSecs(300 * i), i));
    int maximum = -1;
    int value = 0;
    int updates = 0;
    ProgressReport progress{[&](int, int max) { maximum = max; },
                            [&](int v) {
                                value = v;
                                if (v > 0)
                                    ++updates;
                            }};
    EXPECT_EQ(write_export_file(t.ctx, t.path(QStringLiteral("bar.csv")), progress), QString());
    EXPECT_EQ(maximum, 100);
    EXPECT_EQ(value, GetParam().finalValue);
    EXPECT_EQ(updates, GetParam().updates);
}

INSTANTIATE_TEST_SUITE_P(Steps, ExportBar,
                         testing::Values(BarCase{1, 1, 1}, BarCase{150, 75, 75}, BarCase{250, 100, 100},
                                         BarCase{10000, 100, 100}, BarCase{99, 99, 99}));

TEST(DataExport, FileErrorsAreReportedWithTheirTexts)
{
    TestContext t;
    fillSmallSet(t);
    const QString out = t.path(QStringLiteral("e.csv"));
    t.files.fail(Op::Open, out);
    EXPECT_EQ(write_export_file(t.ctx, out), "Couldn't open the file for writing\r\n");
    EXPECT_EQ(t.files.attempts(Op::Open, out), t.ctx.settings.FILE_WRITE_TRIES);
    EXPECT_FALSE(QFile::exists(out));

    t.files.fail(Op::Open, out, 0);
    t.files.fail(Op::Write, out, 2); // two failed attempts, the third succeeds
    EXPECT_EQ(write_export_file(t.ctx, out), QString());
    EXPECT_EQ(readAll(out).count('\n'), 4);

    const QString broken = t.path(QStringLiteral("broken.csv"));
    t.files.fail(Op::Write, broken);
    t.files.fail(Op::Close, broken);
    EXPECT_EQ(write_export_file(t.ctx, broken), "Couldn't write data to file\r\nCouldn't close the file\r\n");
}

TEST(DataExport, DefaultFileNameHasNoLeadingZeros)
{
    EXPECT_EQ(defaultExportFileName(QDateTime(QDate(2009, 1, 5), QTime(9, 3, 7))), "Log200915T937");
    EXPECT_EQ(defaultExportFileName(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59))), "Log20261231T235959");
}

TEST(DataExport, WindowFlowNoDataCancelAndError)
{
    TestContext t;
    EXPECT_FALSE(export_logged_data(t.ctx, {}));
    ASSERT_EQ(t.dialogs.shown.size(), 1u);
    EXPECT_EQ(t.dialogs.shown[0].text, "No data to save");
    EXPECT_EQ(t.dialogs.shown[0].icon, Dialogs::Icon::Exclamation);
    EXPECT_TRUE(t.dialogs.fileRequests.empty());

    fillSmallSet(t);
    t.clock.setNow(QDateTime(QDate(2009, 1, 5), QTime(9, 3, 7)));
    t.dialogs.setNextFileName(QString()); // Cancel
    EXPECT_FALSE(export_logged_data(t.ctx, {}));
    ASSERT_EQ(t.dialogs.fileRequests.size(), 1u);
    const Dialogs::FileRequest& req = t.dialogs.fileRequests[0];
    EXPECT_EQ(req.title, "Export / Save Logged Data");
    EXPECT_EQ(req.fileName, "Log200915T937");
    EXPECT_EQ(req.defaultExtension, "csv");
    EXPECT_EQ(req.filter, "Delimited (*.csv)");
    EXPECT_EQ(t.dialogs.shown.size(), 1u); // no message on cancel

    // A name typed without extension gets ".csv".
    t.dialogs.setNextFileName(t.path(QStringLiteral("run")));
    int shows = 0;
    EXPECT_TRUE(export_logged_data(t.ctx, {{}, [&] { ++shows; }, {}}));
    EXPECT_EQ(shows, 1);
    EXPECT_TRUE(QFile::exists(t.path(QStringLiteral("run.csv"))));
    EXPECT_EQ(t.dialogs.shown.size(), 1u); // no message on success

    const QString bad = t.path(QStringLiteral("bad.csv"));
    t.files.fail(Op::Open, bad);
    t.dialogs.setNextFileName(bad);
    EXPECT_FALSE(export_logged_data(t.ctx, {}));
    EXPECT_EQ(t.dialogs.shown.back().title, "Error saving data");
    EXPECT_EQ(t.dialogs.shown.back().text, "Couldn't open the file for writing\r\n");
}

TEST(DataExport, WarnsWhenTheDecimalSeparatorIsTheDelimiter)
{
    TestContext t;
    fillSmallSet(t);
    t.ctx.locale = QLocale(QLocale::German, QLocale::Germany);
    EXPECT_TRUE(decimalSeparatorClashes(t.ctx));
    t.dialogs.setNextAnswer(Dialogs::Answer::No);
    EXPECT_FALSE(export_logged_data(t.ctx, {}));
    ASSERT_EQ(t.dialogs.shown.size(), 1u);
    EXPECT_TRUE(t.dialogs.shown[0].text.contains("cannot be imported again"));
    EXPECT_TRUE(t.dialogs.fileRequests.empty());

    t.ctx.strGlobalFieldDelimiter = QStringLiteral(";");
    EXPECT_FALSE(decimalSeparatorClashes(t.ctx));
    t.ctx.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
    t.ctx.strGlobalFieldDelimiter = QStringLiteral(",");
    EXPECT_FALSE(decimalSeparatorClashes(t.ctx));
}

// Slots 1 to 20 compared through the value text, which keeps 15 significant digits.
void expectSameAsExported(const LogRecord& in, const LogRecord& out)
{
    auto g = [](double v) { return TextFormat::formatGeneral(v); };
    EXPECT_EQ(out.DateTime, in.DateTime);
    EXPECT_EQ(std::tie(out.Year, out.Month, out.Day, out.Hour, out.Min, out.Sec),
              std::tie(in.Year, in.Month, in.Day, in.Hour, in.Min, in.Sec));
    EXPECT_EQ(
        std::tie(out.PulsesThisInterval, out.LoggingSeconds, out.LoggingTotalPulse, out.TarrifNumber, out.LightLevel),
        std::tie(in.PulsesThisInterval, in.LoggingSeconds, in.LoggingTotalPulse, in.TarrifNumber, in.LightLevel));
    for (auto [a, b] : {std::pair{in.TotalEnergy, out.TotalEnergy},
                        {in.TotalCost, out.TotalCost},
                        {in.EnergyThisInterval, out.EnergyThisInterval},
                        {in.CostThisInterval, out.CostThisInterval},
                        {in.AvgPowerThisInterval, out.AvgPowerThisInterval},
                        {in.AvgCostPerHourThisInterval, out.AvgCostPerHourThisInterval},
                        {in.REVSperEnergyUnit, out.REVSperEnergyUnit},
                        {in.CostPerEnergyUnit, out.CostPerEnergyUnit}})
        EXPECT_EQ(g(b), g(a));
    EXPECT_FALSE(out.Slot21);
    EXPECT_EQ(out.UserComment, QString());
}

struct LocaleCase
{
    QLocale::Language language;
    QLocale::Territory territory;
    const char* delimiter;
    const char* endOfLine;
};
class RoundTrip : public testing::TestWithParam<LocaleCase>
{
};

TEST_P(RoundTrip, ExportThenImportGivesBackSlotsOneToTwenty)
{
    TestContext source;
    source.ctx.locale = QLocale(GetParam().language, GetParam().territory);
    source.ctx.strGlobalFieldDelimiter = QString::fromLatin1(GetParam().delimiter);
    source.ctx.strGlobalEndOfLine = QString::fromLatin1(GetParam().endOfLine);
    source.clock.setNow(QDateTime(QDate(2009, 3, 28), QTime(22, 0, 0))); // crosses midnight
    const qint32 k = fill(source, 700);
    std::vector<LogRecord> rows;
    for (qint32 r = 1; r <= k; ++r)
        rows.push_back(source.ctx.varGlobalDataArray.row(r));
    rows[2].UserComment = QStringLiteral("door open") + source.ctx.strGlobalFieldDelimiter + QStringLiteral("cold");
    source.ctx.varGlobalDataArray.resetPointer();
    for (const LogRecord& r : rows)
        source.ctx.varGlobalDataArray.append(r);
    const QString file = source.path(QStringLiteral("trip.csv"));
    ASSERT_EQ(write_export_file(source.ctx, file), QString());

    TestContext target;
    target.ctx.locale = source.ctx.locale;
    target.ctx.strGlobalFieldDelimiter = source.ctx.strGlobalFieldDelimiter;
    // An earlier data set with comments must not leave them on the imported rows.
    for (int i = 0; i < 5; ++i)
        target.ctx.varGlobalDataArray.append(record(QDateTime(QDate(2000, 1, 1), QTime(1, 0)), 1, "old comment"));
    ASSERT_EQ(read_data_file(target.ctx, file), QString());
    ASSERT_EQ(target.ctx.varGlobalDataArray.pointer(), k + 1);
    bool sawMidnight = false;
    for (qint32 r = 1; r <= k; ++r) {
        const LogRecord& in = source.ctx.varGlobalDataArray.row(r);
        sawMidnight |= in.DateTime.time() == QTime(0, 0);
        expectSameAsExported(in, target.ctx.varGlobalDataArray.row(r));
    }
    EXPECT_TRUE(sawMidnight);
}

INSTANTIATE_TEST_SUITE_P(Locales, RoundTrip,
                         testing::Values(LocaleCase{QLocale::English, QLocale::UnitedKingdom, ",", "\r\n"},
                                         LocaleCase{QLocale::English, QLocale::UnitedStates, ";", "\n"},
                                         LocaleCase{QLocale::German, QLocale::Germany, ";", "\r\n"},
                                         LocaleCase{QLocale::English, QLocale::UnitedKingdom, "||", "\r\n"}));

class ImportFile : public testing::Test
{
protected:
    void SetUp() override
    {
        fillSmallSet(t);
        ASSERT_EQ(write_export_file(t.ctx, good), QString());
        lines = readAll(good).split('\n');
        lines.removeLast(); // after the final line break
        // An earlier data set of five records is in memory.
        t.ctx.varGlobalDataArray = DataArray(t.ctx.settings.DATA_ARRAY_LENGTH);
        for (int i = 0; i < 5; ++i)
            t.ctx.varGlobalDataArray.append(record(QDateTime(QDate(2001, 2, 3), QTime(4, 5)), 77, "earlier"));
    }
    QString import(const QByteArray& content)
    {
        writeFile(file, content);
        return read_data_file(t.ctx, file);
    }
    QByteArray joined(const QList<QByteArray>& parts) { return parts.join('\n') + '\n'; }

    TestContext t;
    QString good = t.path(QStringLiteral("good.csv"));
    QString file = t.path(QStringLiteral("in.csv"));
    QList<QByteArray> lines; // header and three record lines, each ending in CR
};

TEST_F(ImportFile, NoRecordsChangesNothing)
{
    for (const QByteArray& content : {QByteArray(), lines[0] + '\n', lines[0]}) {
        EXPECT_EQ(import(content), QString());
        EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 6);
        EXPECT_EQ(t.ctx.varGlobalDataArray.row(1).UserComment, "earlier");
    }
}

TEST_F(ImportFile, FirstLineIsAlwaysTheHeader)
{
    EXPECT_EQ(import(joined({lines[1], lines[2], lines[3]})), QString());
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 3);
    EXPECT_EQ(t.ctx.varGlobalDataArray.row(1).PulsesThisInterval, 0);
}

TEST_F(ImportFile, LinesEndedByLoneLineFeedsAndFractionsInIntegerSlots)
{
    QByteArray third = lines[3];
    third.chop(1);                         // no CR
    third.replace(",12345,", ",12344.5,"); // halves to even
    EXPECT_EQ(import(lines[0] + '\n' + lines[1].chopped(1) + '\n' + third), QString());
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 3);
    EXPECT_EQ(t.ctx.varGlobalDataArray.row(2).PulsesThisInterval, 12344);
}

TEST_F(ImportFile, BadRecordLinesStopTheImportKeepingTheRecordsBefore)
{
    QByteArray nineteen = lines[2];
    nineteen.truncate(nineteen.lastIndexOf(','));
    nineteen.truncate(nineteen.lastIndexOf(','));
    QByteArray notANumber = lines[2];
    notANumber.replace(",0,", ",zero,");
    QByteArray badDate = lines[2];
    badDate.replace("06/01/2009", "32/01/2009");
    QByteArray tooBig = lines[2];
    tooBig.replace(",2009,", ",40000,");            // beyond a 16-bit integer
    const QByteArray truncated = lines[3].left(40); // a crash inside the last line
    for (const QByteArray& bad : {nineteen, notANumber, badDate, tooBig, QByteArray(), truncated}) {
        SCOPED_TRACE(bad.toStdString());
        const double before = t.pump.waitedSeconds;
        EXPECT_EQ(import(joined({lines[0], lines[1], bad, lines[3]})), "Couldn't read data from file\r\n");
        EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 2);
        EXPECT_EQ(t.ctx.varGlobalDataArray.row(1).PulsesThisInterval, 5);
        EXPECT_EQ(t.ctx.varGlobalDataArray.row(1).UserComment, QString());
        EXPECT_NEAR(t.pump.waitedSeconds - before, t.ctx.settings.FILE_READ_DELAY_TENTHS / 10.0, 0.11);
    }
}

TEST_F(ImportFile, ABadFirstRecordLeavesTheEarlierDataSetWhole)
{
    EXPECT_EQ(import(joined({lines[0], "nonsense"})), "Couldn't read data from file\r\n");
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 6);
    EXPECT_EQ(t.ctx.varGlobalDataArray.row(1).PulsesThisInterval, 77);
}

TEST_F(ImportFile, MoreRecordsThanTheTableHolds)
{
    t.ctx.varGlobalDataArray = DataArray(2);
    EXPECT_EQ(import(joined(lines)), "Couldn't read data from file\r\n");
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 3);
}

TEST_F(ImportFile, MissingFileIsReportedAfterEveryAttemptWithMemoryUnchanged)
{
    const QString missing = t.path(QStringLiteral("none.csv"));
    EXPECT_EQ(read_data_file(t.ctx, missing), "Couldn't open the file for reading\r\n");
    EXPECT_EQ(t.files.attempts(Op::Open, missing), t.ctx.settings.FILE_READ_TRIES);
    EXPECT_NEAR(t.pump.waitedSeconds, t.ctx.settings.FILE_READ_TRIES * t.ctx.settings.FILE_READ_DELAY_TENTHS / 10.0,
                0.11);
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 6);
}

TEST_F(ImportFile, ReadAndCloseFailures)
{
    t.files.fail(Op::Read, good, 2); // recovered by the third attempt
    EXPECT_EQ(read_data_file(t.ctx, good), QString());
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 4);

    t.files.fail(Op::Read, file);
    t.files.fail(Op::Close, file);
    EXPECT_EQ(import(joined(lines)), "Couldn't read data from file\r\nCouldn't close the file\r\n");
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 4);
}

TEST_F(ImportFile, DelimiterIsMatchedWithoutRegardToCase)
{
    t.ctx.strGlobalFieldDelimiter = QStringLiteral("x");
    QByteArray line = lines[1];
    line.replace(',', 'X');
    EXPECT_EQ(import(joined({lines[0], line})), QString());
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 2);
    EXPECT_EQ(t.ctx.varGlobalDataArray.row(1).LightLevel, 4321);
}

TEST_F(ImportFile, ProgressEstimateFromTheFileSize)
{
    QList<QByteArray> many{lines[0]};
    for (int i = 0; i < 300; ++i)
        many << lines[1];
    const QByteArray content = joined(many);
    writeFile(file, content);
    const qint64 m = qint64(TextFormat::roundHalfEven(content.size() / 141.0));
    int maximum = -1;
    int value = 0;
    ProgressReport progress{[&](int, int max) { maximum = max; }, [&](int v) { value = v; }};
    EXPECT_EQ(read_data_file(t.ctx, file, progress), QString());
    ASSERT_GE(m, 100);
    EXPECT_EQ(maximum, 100);
    EXPECT_EQ(value, std::min<qint64>(100, 301 / qint64(TextFormat::roundHalfEven(m / 100.0))));

    writeFile(file, joined(lines));
    EXPECT_EQ(read_data_file(t.ctx, file, progress), QString());
    EXPECT_EQ(maximum, qint64(TextFormat::roundHalfEven(joined(lines).size() / 141.0)));
}

TEST_F(ImportFile, ImportWindowAsksBeforeOverwriting)
{
    for (Dialogs::Answer a : {Dialogs::Answer::No, Dialogs::Answer::Cancel}) {
        t.dialogs.setNextAnswer(a);
        EXPECT_FALSE(import_logged_data(t.ctx, {}));
    }
    EXPECT_TRUE(t.dialogs.fileRequests.empty());
    EXPECT_EQ(t.dialogs.shown[0].title, "Data in memory");
    EXPECT_EQ(t.dialogs.shown[0].buttons, Dialogs::Buttons::YesNoCancel);
    EXPECT_EQ(t.dialogs.shown[0].text, "There is data already in memory, do you wish to overwrite it?\r\n"
                                       "If you do so, you will lose the previous data results");
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 6);

    t.dialogs.shown.clear();
    t.dialogs.setNextAnswer(Dialogs::Answer::Yes);
    t.dialogs.setNextFileName(good);
    EXPECT_TRUE(import_logged_data(t.ctx, {}));
    EXPECT_EQ(t.dialogs.texts().last(), "Data imported");
    EXPECT_EQ(t.dialogs.fileRequests[0].title, "Import / Load Logged Data");
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 4);

    t.dialogs.setNextAnswer(Dialogs::Answer::Yes);
    t.dialogs.setNextFileName(t.path(QStringLiteral("gone.csv")));
    EXPECT_FALSE(import_logged_data(t.ctx, {}));
    EXPECT_EQ(t.dialogs.shown.back().title, "Error saving data");
    EXPECT_EQ(t.dialogs.shown.back().icon, Dialogs::Icon::Exclamation);
}

TEST_F(ImportFile, PreviousRunReloadReadsTheBackupButNotWhileLogging)
{
    QFile::copy(good, t.ctx.paths.dataStore);
    t.ctx.blnGlobalLoggingRunning = true;
    EXPECT_FALSE(reload_previous_run(t.ctx, {}));
    EXPECT_EQ(t.dialogs.texts(), QStringList{ReloadWhileLoggingText});
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 6);

    t.ctx.blnGlobalLoggingRunning = false;
    t.dialogs.setNextAnswer(Dialogs::Answer::Yes);
    EXPECT_TRUE(reload_previous_run(t.ctx, {}));
    EXPECT_EQ(t.dialogs.texts().last(), "Previous Run Data imported");
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 4);
    EXPECT_TRUE(QFile::exists(t.ctx.paths.dataStore));
}

} // namespace
