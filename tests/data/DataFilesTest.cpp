// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TextFormat.h"
#include "data/DataExport.h"
#include "data/DataImport.h"
#include "data/TestDataGenerator.h"
#include "metering/RecordLine.h"
#include "support/TestContext.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

using Op = FaultyFileIo::Op;
const QString ReadError = QStringLiteral("Couldn't read data from file\r\n");

LogRecord record(const QDateTime& when, int pulses, const QString& comment = QString())
{
    const double kWh = pulses / 600.0;
    LogRecord r{{},    0,    0,   0,   0,  0, 0,    pulses, kWh,    pulses * 15.0 / 600.0, 300, pulses, kWh,
                0.075, 0.06, 0.9, 600, 15, 1, 4321, false,  comment};
    r.setDateTime(when);
    return r;
}

// The data set of the golden file: a midnight record and a comment holding the delimiter.
void fillSmallSet(TestContext& t)
{
    DataArray& a = t.ctx.varGlobalDataArray;
    a.append(record(QDateTime(QDate(2009, 1, 5), QTime(23, 55, 0)), 5));
    a.append(record(QDateTime(QDate(2009, 1, 6), QTime(0, 0, 0)), 0, QStringLiteral("  kettle, toaster  ")));
    a.append(record(QDateTime(QDate(2009, 1, 6), QTime(0, 5, 7)), 12345));
}

TEST(DataExport, WindowFlowAndSmallSetMatchingTheGoldenFileReplacingALongerOneWithFileErrorsRetriedAndReported)
{
    TestContext t;
    EXPECT_FALSE(export_logged_data(t.ctx, {})); // no data: said, without asking for a file

    fillSmallSet(t);
    const QString out = t.path(QStringLiteral("small.csv"));
    ASSERT_TRUE(writeFileBytes(out, QByteArray(5000, 'x')));
    t.files.fail(Op::Write, out, 2); // the third attempt succeeds
    EXPECT_EQ(write_export_file(t.ctx, out), QString());
    const QByteArray golden = fileBytes(QStringLiteral(WATTSIGHT_DATA_TEST_DIR "/golden/small_export.csv"));
    ASSERT_FALSE(golden.isEmpty());
    EXPECT_EQ(fileBytes(out), golden);

    const QString other = t.path(QStringLiteral("e.csv"));
    t.files.fail(Op::Open, other);
    EXPECT_EQ(write_export_file(t.ctx, other), "Couldn't open the file for writing\r\n");
    EXPECT_EQ(t.files.attempts(Op::Open, other), t.ctx.settings.FILE_WRITE_TRIES);
    t.files.fail(Op::Write, out);
    t.files.fail(Op::Close, out);
    EXPECT_EQ(write_export_file(t.ctx, out), "Couldn't write data to file\r\nCouldn't close the file\r\n");

    t.clock.setNow(QDateTime(QDate(2009, 1, 5), QTime(9, 3, 7)));
    EXPECT_FALSE(export_logged_data(t.ctx, {})); // no file name: Cancel
    ASSERT_EQ(t.dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(t.dialogs.fileRequests[0].fileName, "Log200915T937");

    t.dialogs.setNextFileName(t.path(QStringLiteral("run"))); // typed without extension
    int shows = 0;
    EXPECT_TRUE(export_logged_data(t.ctx, {{}, [&] { ++shows; }, {}}));
    EXPECT_EQ(shows, 1);
    EXPECT_TRUE(QFile::exists(t.path(QStringLiteral("run.csv"))));
    EXPECT_EQ(t.dialogs.shown.size(), 1u) << "the one for no data: none on cancel or success";

    const QString bad = t.path(QStringLiteral("bad.csv"));
    t.files.fail(Op::Open, bad);
    t.dialogs.setNextFileName(bad);
    EXPECT_FALSE(export_logged_data(t.ctx, {}));
    EXPECT_EQ(t.dialogs.shown.back().title, "Error saving data");
}

TEST(DataRoundTrip, ExportThenImportGivesBackSlotsOneToTwentyInEveryLocale)
{
    const QLocale uk(QLocale::English, QLocale::UnitedKingdom);
    const QLocale german(QLocale::German, QLocale::Germany);
    for (const auto& [locale, delimiter, endOfLine] : {std::tuple{uk, ",", "\r\n"},
                                                       {QLocale(QLocale::English, QLocale::UnitedStates), ";", "\n"},
                                                       {german, ";", "\r\n"},
                                                       {german, ",", "\r\n"},
                                                       {uk, "||", "\r\n"}}) {
        SCOPED_TRACE(delimiter);
        TestContext source;
        std::tie(source.ctx.locale, source.ctx.strGlobalFieldDelimiter, source.ctx.strGlobalEndOfLine) =
            std::tuple(locale, QString::fromLatin1(delimiter), QString::fromLatin1(endOfLine));
        std::tie(source.ctx.pulse.dblGlobalWkgRevsPerKWH, source.ctx.pulse.dblGlobalWkgCostPerKWH) =
            std::tuple(375, 13.7);
        source.clock.setNow(QDateTime(QDate(2009, 3, 28), QTime(22, 0, 0))); // crosses midnight
        ASSERT_EQ(FillArray(source.ctx, {"5", "700", "97"}), QString());
        const DataArray filled = source.ctx.varGlobalDataArray;
        source.ctx.varGlobalDataArray.resetPointer();
        for (qint32 r = 1; r <= 700; ++r) {
            LogRecord row = filled.row(r);
            row.UserComment = r == 3 ? QStringLiteral("door open") + delimiter + "cold" : QString();
            source.ctx.varGlobalDataArray.append(row);
        }
        const QString file = source.path(QStringLiteral("trip.csv"));
        ASSERT_EQ(write_export_file(source.ctx, file), QString());

        TestContext target;
        std::tie(target.ctx.locale, target.ctx.strGlobalFieldDelimiter) =
            std::tuple(locale, source.ctx.strGlobalFieldDelimiter);
        // Comments of an earlier data set must not stay on the imported rows.
        for (int i = 0; i < 5; ++i)
            target.ctx.varGlobalDataArray.append(record(QDateTime(QDate(2000, 1, 1), QTime(1, 0)), 1, "old"));
        ASSERT_EQ(read_data_file(target.ctx, file), QString());
        ASSERT_EQ(target.ctx.varGlobalDataArray.pointer(), 701);
        // Exported again, the imported rows give the same file but for the comment, which is not read back.
        target.ctx.strGlobalEndOfLine = source.ctx.strGlobalEndOfLine;
        const QString again = target.path(QStringLiteral("again.csv"));
        ASSERT_EQ(write_export_file(target.ctx, again), QString());
        const QString eol = QString::fromLatin1(endOfLine), field = QString::fromLatin1(delimiter);
        QStringList expected = QString::fromLocal8Bit(fileBytes(file)).split(eol);
        expected[3].truncate(expected[3].lastIndexOf(field) + field.size());
        EXPECT_EQ(QString::fromLocal8Bit(fileBytes(again)), expected.join(eol));
    }
}

struct ImportFile : testing::Test
{
    void SetUp() override
    {
        fillSmallSet(t);
        ASSERT_EQ(write_export_file(t.ctx, good), QString());
        lines = fileBytes(good).split('\n');
        lines.removeLast(); // after the final line break
        // An earlier data set of five records is in memory.
        t.ctx.varGlobalDataArray = DataArray(t.ctx.settings.DATA_ARRAY_LENGTH);
        for (int i = 0; i < 5; ++i)
            t.ctx.varGlobalDataArray.append(record(QDateTime(QDate(2001, 2, 3), QTime(4, 5)), 77, "earlier"));
    }
    QString import(const QByteArray& content)
    {
        EXPECT_TRUE(writeFileBytes(file, content));
        return read_data_file(t.ctx, file);
    }
    static QByteArray joined(const QList<QByteArray>& parts) { return parts.join('\n') + '\n'; }
    qint32 pointer() const { return t.ctx.varGlobalDataArray.pointer(); }

    TestContext t;
    QString good = t.path(QStringLiteral("good.csv"));
    QString file = t.path(QStringLiteral("in.csv"));
    QList<QByteArray> lines; // header and three record lines, each ending in CR
};

TEST_F(ImportFile, HeaderSkippedLoneLineFeedsEndLinesTwentyFieldsOrMoreReadRoundToEvenSpreadsheetQuotesDelimiterCase)
{
    QByteArray third = lines[3];
    third.chop(1);                         // no CR
    third.replace(",12345,", ",12344.5,"); // halves to even
    // The first line is taken as the header whatever it holds.
    EXPECT_EQ(import(lines[1] + '\n' + lines[2].chopped(1) + '\n' + third), QString());
    EXPECT_EQ(std::tuple(pointer(), t.ctx.varGlobalDataArray.row(2).PulsesThisInterval), std::tuple(3, 12344));

    // The record is fields 1 to 20: a line without the comment, or with more after it, is read as far as that.
    const QByteArray values = lines[1].left(lines[1].lastIndexOf(','));
    EXPECT_EQ(import(joined({lines[0], values, lines[2].chopped(1) + ",more,\"and, more\"\r"})), QString());
    const DataArray& data = t.ctx.varGlobalDataArray;
    EXPECT_EQ(std::tuple(pointer(), data.row(1).PulsesThisInterval, data.row(2).DateTime, data.row(2).UserComment),
              std::tuple(3, 5, QDateTime(QDate(2009, 1, 6), QTime(0, 0)), QString()));

    // As LibreOffice and Excel save CSV again: text fields in quotes, a quote doubled, the delimiter inside quotes,
    // the date as the spreadsheet shows it, without seconds.
    const QByteArray date = lines[1].left(lines[1].indexOf(','));
    QByteArray resaved = lines[1].chopped(1);
    resaved.replace(date, "\"05/01/09 23:55\"").append("\"kettle, \"\"toaster\"\"\"");
    EXPECT_EQ(import(joined({lines[0], resaved, lines[2]})), QString());
    EXPECT_EQ(std::tuple(pointer(), t.ctx.varGlobalDataArray.row(1).DateTime),
              std::tuple(3, QDateTime(QDate(2009, 1, 5), QTime(23, 55))));

    t.ctx.strGlobalFieldDelimiter = QStringLiteral("x");
    EXPECT_EQ(import(joined({lines[0], QByteArray(lines[1]).replace(',', 'X')})), QString());
    EXPECT_EQ(std::tuple(pointer(), t.ctx.varGlobalDataArray.row(1).LightLevel), std::tuple(2, 4321));
}

// The import and reload windows run from the menus in the data screen tests; here the refusals.
TEST_F(ImportFile, RefusedImportsAndFilesWithoutAGoodFirstRecordLeaveTheEarlierDataSetWhole)
{
    for (Dialogs::Answer a : {Dialogs::Answer::No, Dialogs::Answer::Cancel}) {
        t.dialogs.setNextAnswer(a);
        EXPECT_FALSE(import_logged_data(t.ctx, {}));
    }
    EXPECT_TRUE(t.dialogs.fileRequests.empty());
    EXPECT_EQ(std::tuple(t.dialogs.shown[0].buttons, pointer()), std::tuple(Dialogs::Buttons::YesNoCancel, 6));

    t.dialogs.setNextAnswer(Dialogs::Answer::Yes);
    t.dialogs.setNextFileName(t.path(QStringLiteral("gone.csv")));
    EXPECT_FALSE(import_logged_data(t.ctx, {}));
    EXPECT_EQ(t.dialogs.fileRequests[0].title, "Import / Load Logged Data");
    EXPECT_EQ(t.dialogs.shown.back().title, "Error saving data");

    const QString nonsense = ReadError + "Line 2: 1 field separated by \",\" where a record has at least 20.\r\n";
    for (const QByteArray& content : {QByteArray(), lines[0] + '\n', lines[0], joined({lines[0], "nonsense"})}) {
        EXPECT_EQ(import(content), content.contains("nonsense") ? nonsense : QString()) << content.toStdString();
        EXPECT_EQ(std::tuple(pointer(), t.ctx.varGlobalDataArray.row(1).UserComment), std::tuple(6, "earlier"));
    }
    t.dialogs.setNextAnswer(Dialogs::Answer::Yes);
    t.dialogs.setNextFileName(file);
    EXPECT_FALSE(import_logged_data(t.ctx, {}));
    EXPECT_EQ(t.dialogs.texts().last(), nonsense + "No record loaded; the data in memory is unchanged.");
}

TEST_F(ImportFile, BadRecordLinesStopTheImportNamingLineAndReasonAndKeepingTheRecordsBefore)
{
    const auto changed = [&](const char* from, const char* to) { return QByteArray(lines[2]).replace(from, to); };
    const QByteArray values = lines[2].left(lines[2].lastIndexOf(',')); // the comment cut off
    const std::pair<QByteArray, const char*> cases[] = {
        {values.left(values.lastIndexOf(',')), "19 fields separated by \",\" where a record has at least 20"},
        {changed(",0,0,0,", ",0,zero,0,"), "field 6 (Min) is not a number with \".\" as decimal separator: \"zero\""},
        {changed("06/01/2009", "32/01/2009"),
         "field 1 (DateTime) is not a date and time like \"05/01/2009 23:55:00\": \"32/01/2009\""},
        {changed("06/01/2009", "01/06/2009"), // another locale's date order
         "field 1 (DateTime) does not agree with fields 2 to 7 (Year to Sec): \"01/06/2009\""},
        {changed(",2009,", ",40000,"), "field 2 (Year) is out of range: \"40000\""},
        {"\r", "the line is empty"},
        {lines[3].left(40), "8 fields separated by \",\" where a record has at least 20"}, // a crash in the last line
    };
    for (const auto& [line, reason] : cases) {
        SCOPED_TRACE(line.toStdString());
        const double before = t.pump.waitedSeconds;
        EXPECT_EQ(import(joined({lines[0], lines[1], line, lines[3]})), ReadError + "Line 3: " + reason + ".\r\n");
        EXPECT_EQ(std::tuple(pointer(), t.ctx.varGlobalDataArray.row(1).PulsesThisInterval,
                             t.ctx.varGlobalDataArray.row(1).UserComment),
                  std::tuple(2, 5, QString()));
        EXPECT_NEAR(t.pump.waitedSeconds - before, t.ctx.settings.FILE_READ_DELAY_TENTHS / 10.0, 0.11);
    }
    t.ctx.varGlobalDataArray = DataArray(2); // more records than the table holds
    EXPECT_EQ(import(joined(lines)), ReadError + "Line 4: the data array holds no more than 2 records.\r\n");
    EXPECT_EQ(pointer(), 3);
    t.dialogs.setNextAnswer(Dialogs::Answer::Yes);
    t.dialogs.setNextFileName(file);
    EXPECT_FALSE(import_logged_data(t.ctx, {}));
    EXPECT_TRUE(t.dialogs.texts().last().endsWith(".\r\n2 records loaded, from 05/01/2009 23:55:00 to 06/01/2009."));

    // A run resumes from its own backup, whose lines are whole: one without the comment or with more is damage.
    for (const QByteArray& line : {values + '\r', lines[2].chopped(1) + ",more\r"}) {
        ASSERT_TRUE(writeFileBytes(file, joined({lines[0], lines[1], line})));
        EXPECT_EQ(read_data_file(t.ctx, file, {}, nullptr, ReadPurpose::Resuming),
                  ReadError + "Line 3: " + QString::number(line.count(',') + 1) +
                      " fields separated by \",\" where a record has 21.\r\n");
    }
}

TEST_F(ImportFile, FileErrorsAreRetriedAndReportedImportProgressIsEstimatedAtAbout141BytesALineExportProgressPerStep)
{
    const QString missing = t.path(QStringLiteral("none.csv"));
    EXPECT_EQ(read_data_file(t.ctx, missing), "Couldn't open the file for reading\r\n");
    EXPECT_EQ(t.files.attempts(Op::Open, missing), t.ctx.settings.FILE_READ_TRIES);
    EXPECT_NEAR(t.pump.waitedSeconds, t.ctx.settings.FILE_READ_TRIES * t.ctx.settings.FILE_READ_DELAY_TENTHS / 10.0,
                0.11);
    EXPECT_EQ(pointer(), 6);
    t.files.fail(Op::Read, file);
    t.files.fail(Op::Close, file);
    EXPECT_EQ(import(joined(lines)), ReadError + "Line 1 could not be read.\r\nCouldn't close the file\r\n");
    EXPECT_EQ(pointer(), 6);

    int maximum = -1, value = 0;
    ProgressReport progress{[&](int, int max) { maximum = max; }, [&](int v) { value = v; }};
    t.files.fail(Op::Read, good, 2);                             // recovered by the third attempt
    EXPECT_EQ(read_data_file(t.ctx, good, progress), QString()); // 580 bytes
    EXPECT_EQ(std::tuple(maximum, pointer()), std::tuple(4, 4));
    QList<QByteArray> many{lines[0]};
    for (int i = 0; i < 300; ++i)
        many << lines[1];
    const QString big = t.path(QStringLiteral("big.csv"));
    ASSERT_TRUE(writeFileBytes(big, joined(many))); // an estimate of 211 lines: a step every 2
    EXPECT_EQ(read_data_file(t.ctx, big, progress), QString());
    EXPECT_EQ(std::tuple(maximum, value), std::tuple(100, 100));

    // The export's bar advances once per step up to its maximum.
    for (auto [records, finalValue] : {std::pair{1, 1}, {99, 99}, {150, 75}, {250, 100}}) {
        SCOPED_TRACE(records);
        TestContext exporting;
        for (int i = 0; i < records; ++i)
            exporting.ctx.varGlobalDataArray.append(
                record(QDateTime(QDate(2009, 1, 5), QTime(9, 0)).addSecs(300 * i), i));
        int barMaximum = -1, barValue = 0, updates = 0;
        ProgressReport bar{[&](int, int max) { barMaximum = max; }, [&](int v) { updates += (barValue = v) > 0; }};
        EXPECT_EQ(write_export_file(exporting.ctx, exporting.path(QStringLiteral("bar.csv")), bar), QString());
        EXPECT_EQ(std::tuple(barMaximum, barValue, updates), std::tuple(100, finalValue, finalValue));
    }
}

} // namespace
