// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/DataFileWriters.h"

#include "RunFixture.h"
#include "metering/RecordLine.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <utility>

namespace {

// Writers on a data array of hand-made records, with the files in the test's folder.
struct WritersTest : RunFixture
{
    // Fields in the order of the file's columns.
    static LogRecord record(int n)
    {
        const QDateTime when(QDate(2009, 1, 15), QTime(9, 38, 7));
        const LogRecord r{when, 2009, 1, 15,   9, 38,   7,     n, 0.5 * n, 0.0000123, 300 * n,
                          -n,   0,    0, 1e20, 0, 1000, 15.25, 1, 250,     false,     QString()};
        return r;
    }
    void fill(int rows)
    {
        for (int i = 1; i <= rows; ++i)
            t.ctx.varGlobalDataArray.append(record(i));
    }
    const QString diff = path("DIFFLOG.DTA"), ctl = path("DIFFLOG.CTL");
};

const QByteArray Row1 = "15/01/2009 09:38:07,2009,1,15,9,38,7,1,0.5,1.23E-05,300,-1,0,0,1E+20,0,1000,15.25,1,250,";

TEST_F(WritersTest, RecordLineLayoutDelimitersAndComments)
{
    LogRecord r = record(1);
    r.UserComment = QStringLiteral("the \"big\" kettle");
    EXPECT_EQ(RecordLine(t.ctx).line(r), Row1 + "the 'big' kettle\r\n") << "no field is ever in quotes";

    t.ctx.strGlobalFieldDelimiter = QStringLiteral(";");
    t.ctx.strGlobalEndOfLine = QStringLiteral("\n");
    r.UserComment = QStringLiteral("two\r\nlines");
    const RecordLine semicolons(t.ctx);
    EXPECT_EQ(semicolons.line(r), QByteArray(Row1).replace(',', ';') + "two\r lines\n");
    EXPECT_EQ(semicolons.header().count(';'), 20);
    EXPECT_TRUE(semicolons.header().endsWith(";LightLevel;UserComment\n"));

    t.ctx.locale = QLocale(QLocale::German, QLocale::Germany);
    EXPECT_TRUE(RecordLine(t.ctx).line(r).contains(";0,5;")) << "the locale's decimal separator";
    t.ctx.strGlobalFieldDelimiter = QStringLiteral(",");
    const QString line = QString::fromLocal8Bit(RecordLine(t.ctx).line(r)).chopped(1);
    EXPECT_TRUE(line.contains(",0.5,1.23E-05,")) << "a point where the comma is the delimiter";
    LogRecord back;
    EXPECT_EQ(RecordLine(t.ctx).read(QString(line).replace(",0.5,", ",\"0,5\","), back), QString());
    EXPECT_EQ(back.TotalEnergy, 0.5) << "the locale's separator in quotes, as a spreadsheet saves it again";
}

// Every locale Qt knows, with the factory comma, a semicolon, and a space or a slash (which split dates, so the
// date has a stand-in for them): every line has exactly 21 fields and no quote, the date and every number read
// back as written, and the date is text that a spreadsheet takes for one, without time zone, brackets,
// trailing comma or direction marks.
TEST(RecordLineLocales, EveryLocaleReadsBackWhatItWrites)
{
    TestContext t;
    const QRegularExpression junk(QStringLiteral("[()\\[\\]\\x{200E}\\x{200F}\\x{061C}]|[,\\s]$"));
    LogRecord r = WritersTest::record(7);
    r.TotalEnergy = 1234.075;
    r.UserComment = QStringLiteral("\"tea\", then; biscuits/cake");
    for (const QLocale& locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
        t.ctx.locale = locale;
        const std::string name = locale.name().toStdString();
        for (const char* delimiter : {",", ";", " ", "/"}) {
            t.ctx.strGlobalFieldDelimiter = QString::fromLatin1(delimiter);
            const RecordLine lines(t.ctx);
            for (const QTime& time : {QTime(21, 3, 7), QTime(9, 3, 7), QTime(0, 0)}) {
                r.setDateTime(QDateTime(QDate(2009, 1, 5), time));
                const QString text = QString::fromLocal8Bit(lines.line(r)).chopped(2);
                LogRecord back;
                ASSERT_EQ(lines.read(text, back, RecordLine::Fields::Whole), QString())
                    << name << " [" << text.toStdString() << "]";
                ASSERT_EQ(lines.lastComment(), clean_comment_text(t.ctx, r.UserComment)) << text.toStdString();
                ASSERT_FALSE(text.contains(QLatin1Char('"'))) << text.toStdString();
                back.UserComment = r.UserComment; // not read by a record line
                ASSERT_EQ(back, r) << name << " [" << text.toStdString() << "]";
            }
        }
        const QString date = GeneralDateFormat(locale).format(QDateTime(QDate(2009, 1, 5), QTime(21, 3, 7)));
        EXPECT_FALSE(date.contains(junk)) << name << " [" << date.toStdString() << "]";
    }
}

TEST_F(WritersTest, DataAndControlFileErrorsCarryTheirExactTextsAndASecondWriterOfAFileInUseStaysAway)
{
    fill(3);
    const QString inUse = path("INUSE.DTA");
    t.files.fail(FaultyFileIo::Op::Write, inUse, 1);
    QString nested = QStringLiteral("not called");
    bool called = false;
    t.pump.onEvents = [&] {
        if (!std::exchange(called, true))
            nested = write_data_file(t.ctx, inUse, 1, 2, false);
    };
    write("INUSE.DTA", "an earlier run\r\nof four\r\nlonger\r\nlines\r\n");
    EXPECT_EQ(write_data_file(t.ctx, inUse, 1, 2, true), QString());
    EXPECT_EQ(nested, QStringLiteral("Couldn't open the file for writing\r\n"));
    EXPECT_EQ(bytes("INUSE.DTA"),
              RecordLine(t.ctx).header() + Row1 + "\r\n" + RecordLine(t.ctx).line(t.ctx.varGlobalDataArray.row(2)))
        << "overwritten whole: header and both rows";

    const QString store = path("DATASTOR.DTA");
    t.files.fail(FaultyFileIo::Op::Write, store);
    t.files.fail(FaultyFileIo::Op::Close, store, 1);
    EXPECT_EQ(write_data_file(t.ctx, store, 1, 3, true),
              QStringLiteral("Couldn't write data to file\r\nCouldn't close the file\r\n"));
    EXPECT_EQ(t.files.attempts(FaultyFileIo::Op::Write, store), 3) << "rows after the failed one are not tried";
    EXPECT_TRUE(exists("DATASTOR.DTA"));

    t.files.fail(FaultyFileIo::Op::Open, ctl, 3);
    EXPECT_EQ(write_diff_file(t.ctx, diff, 1, 2, ctl), QStringLiteral("Couldn't create control file \r\n"));
    EXPECT_FALSE(exists("DIFFLOG.DTA"));

    t.files.fail(FaultyFileIo::Op::Open, diff, 3);
    EXPECT_EQ(write_diff_file(t.ctx, diff, 1, 2, ctl), QStringLiteral("Couldn't open the file for writing\r\n"));
    EXPECT_TRUE(exists("DIFFLOG.CTL")) << "the data file's state is unknown, so it stays marked busy";
}

TEST_F(WritersTest, DifferenceLogAppendsUnderItsControlFileStartingOnAFreshLineAfterACrash)
{
    fill(4);
    write("DIFFLOG.CTL", "controlfile\r\n"); // left behind by a crash
    t.files.fail(FaultyFileIo::Op::Remove, ctl, 3);
    EXPECT_EQ(write_diff_file(t.ctx, diff, 1, 2, ctl), QStringLiteral("Couldn't delete control file\r\n"));
    EXPECT_EQ(bytes("DIFFLOG.CTL"), "controlfile\r\ncontrolfile\r\n");
    EXPECT_TRUE(bytes("DIFFLOG.DTA").startsWith("DateTime,"));

    QFile::remove(diff); // another program collected the log
    EXPECT_EQ(write_diff_file(t.ctx, diff, 3, 4, ctl), QString());
    EXPECT_FALSE(exists("DIFFLOG.CTL"));
    const QByteArray again = bytes("DIFFLOG.DTA");
    EXPECT_EQ(again.count("\r\n"), 2);
    EXPECT_FALSE(again.contains("DateTime")) << "no header without row 1";

    write("DIFFLOG.DTA", "15/01/2009 09:38:07,2009,1,1"); // a previous run was killed in the middle of a line
    const RecordLine lines(t.ctx);
    ASSERT_EQ(write_diff_file(t.ctx, diff, 3, 3, ctl), QString());
    const QByteArray line3 = lines.line(*t.ctx.varGlobalDataArray.record(3));
    EXPECT_EQ(bytes("DIFFLOG.DTA"), "15/01/2009 09:38:07,2009,1,1\r\n" + line3);

    ASSERT_EQ(write_diff_file(t.ctx, diff, 4, 4, ctl), QString());
    EXPECT_EQ(bytes("DIFFLOG.DTA"),
              "15/01/2009 09:38:07,2009,1,1\r\n" + line3 + lines.line(*t.ctx.varGlobalDataArray.record(4)))
        << "a whole last line gets nothing added";

    write("DIFFLOG.DTA", "a line of an earlier run with LF only\n");
    ASSERT_EQ(write_diff_file(t.ctx, diff, 3, 3, ctl), QString());
    EXPECT_EQ(bytes("DIFFLOG.DTA"), "a line of an earlier run with LF only\n" + line3) << "no empty line between";
}

TEST_F(WritersTest, LiveFileRoundsItsFiguresRemovesItsControlFileAndKeepsItsLinesWhenARewriteFails)
{
    t.clock.setNow(QDateTime(QDate(2009, 1, 15), QTime(10, 0, 0)));
    std::tie(t.ctx.logging.startTime, t.ctx.logging.totalKWH, t.ctx.logging.totalPulse) =
        std::tuple(QDateTime(QDate(2009, 1, 15), QTime(9, 0, 0)), 1.234567, 1235);
    std::tie(t.ctx.pulse.dblGlobalInstantKW, t.ctx.pulse.dblGlobalWkgRevsPerKWH, t.ctx.pulse.dblGlobalWkgCostPerKWH) =
        std::tuple(2.5, 1000, 15);
    std::tie(t.ctx.settings.ENERGY_ROUNDING_PLACES, t.ctx.settings.POWER_ROUNDING_PLACES) = std::tuple(2, 0);
    const QString live = path("LIVEDATA.DTA");
    const QString ctl = path("LIVEDATA.CTL");
    EXPECT_EQ(write_live_file(t.ctx, live, ctl), QString());
    const QList<QByteArray> lines = bytes("LIVEDATA.DTA").split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1], "15/01/2009 10:00:00,2009,1,15,10,0,0,1.23,0,3600,1235,0,0,0,0,2,0,1000,15,1,0\r");
    EXPECT_FALSE(exists("LIVEDATA.CTL"));

    t.files.fail(FaultyFileIo::Op::Write, live);
    EXPECT_EQ(write_live_file(t.ctx, live, ctl), QStringLiteral("Couldn't write data to file\r\n"));
    EXPECT_EQ(bytes("LIVEDATA.DTA").split('\n')[1], lines[1]) << "a failed rewrite leaves the previous content whole";
}

} // namespace
