// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/IniFile.h"

#include "support/FakeClock.h"
#include "support/FaultyFileIo.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class IniFileTest : public ::testing::Test
{
protected:
    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("TEST.CFG"))
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        return path;
    }
    // The way every caller in the program asks.
    std::optional<QString> read(const QString& path, const char* section, const char* key, int occurrence = 1)
    {
        return ini.iniread(path, QLatin1String(section), QLatin1String(key), occurrence, 3, 10, false);
    }

    QTemporaryDir dir;
    FakeClock clock;
    FakePump pump{clock};
    FaultyFileIo files;
    IniFile ini{files, clock, pump};
};

const QByteArray Sample = "top=before any section\r\n"
                          "[Meter Settings 1]\r\n"
                          "REVS_PER_KWH=300\r\n"
                          "revs_per_kwh=7.5\r\n"
                          "   cost_per_kwh=  5 Pence \r\n"
                          "SPACED = 1\r\n"
                          "#comment without equals\r\n"
                          "\r\n"
                          "FORMULA=a=b=c\r\n"
                          "  [second  \r\n"
                          "EMPTY=\r\n"
                          "[Meter Settings 1]trailing text\r\n"
                          "REVS_PER_KWH=900\n";

} // namespace

TEST_F(IniFileTest, MatchesSectionAndKeyWithoutRegardToCaseAndKeepsValuesAsWritten)
{
    const QString path = write(Sample);
    EXPECT_EQ(read(path, "meter settings 1", "Revs_Per_Kwh"), QStringLiteral("300"));
    EXPECT_EQ(read(path, "METER SETTINGS 1", "COST_PER_KWH"), QStringLiteral("  5 Pence ")); // leading line spaces only
    EXPECT_EQ(read(path, "Meter Settings 1", "FORMULA"), QStringLiteral("a=b=c"));           // split at the first "="
    EXPECT_EQ(read(path, "Meter Settings 1", "EMPTY"), QString());                           // other section
    EXPECT_EQ(read(path, "second  ", "EMPTY"), QString());                                   // present but empty
    EXPECT_EQ(read(path, "second  ", "EMPTY", 0), QStringLiteral("1"));
}

TEST_F(IniFileTest, KeysAreFoundOnlyByTheirExactName)
{
    const QString path = write(Sample);
    EXPECT_EQ(read(path, "Meter Settings 1", "SPACED"), QString()); // "SPACED " is the key
    EXPECT_EQ(read(path, "Meter Settings 1", "SPACED ", 1), QStringLiteral(" 1"));
    EXPECT_EQ(read(path, "Meter Settings 1", "MISSING"), QString());
    EXPECT_EQ(read(path, "No Such Section", "REVS_PER_KWH"), QString());
    EXPECT_EQ(read(path, "DEFAULT", "TOP"), QStringLiteral("before any section"));
    EXPECT_EQ(read(path, "Meter Settings 1", "#COMMENT WITHOUT EQUALS"), QString());
}

TEST_F(IniFileTest, RepeatedKeysAreCountedAndReadInFileOrder)
{
    const QString path = write(Sample);
    // The section appears twice; its key three times, in two spellings.
    EXPECT_EQ(read(path, "Meter Settings 1", "REVS_PER_KWH", 0), QStringLiteral("3"));
    EXPECT_EQ(read(path, "Meter Settings 1", "REVS_PER_KWH", 2), QStringLiteral("7.5"));
    EXPECT_EQ(read(path, "Meter Settings 1", "REVS_PER_KWH", 3), QStringLiteral("900")); // LF-only line end
    EXPECT_EQ(read(path, "Meter Settings 1", "REVS_PER_KWH", 4), QString());
    EXPECT_EQ(read(path, "Meter Settings 1", "MISSING", 0), QStringLiteral("0"));
}

TEST_F(IniFileTest, CaseSensitiveModeComparesNamesAsWritten)
{
    const QString path = write(Sample);
    EXPECT_EQ(ini.iniread(path, QStringLiteral("Meter Settings 1"), QStringLiteral("revs_per_kwh"), 1, 3, 10, true),
              QStringLiteral("7.5"));
    EXPECT_EQ(ini.iniread(path, QStringLiteral("METER SETTINGS 1"), QStringLiteral("revs_per_kwh"), 1, 3, 10, true),
              QString());
}

TEST_F(IniFileTest, AnswersTheSamePathFromItsEntriesAndRereadsAnotherOne)
{
    const QString path = write("[S]\r\nK=old\r\n");
    const QString other = write("[S]\r\nK=other\r\n", QStringLiteral("OTHER.CFG"));
    EXPECT_EQ(read(path, "S", "K"), QStringLiteral("old"));
    write("[S]\r\nK=new\r\n");
    const QString samePathAsked = QStringLiteral("  ") + path + QStringLiteral(" ");
    EXPECT_EQ(read(samePathAsked, "S", "K"), QStringLiteral("old"));
    EXPECT_EQ(files.attempts(FaultyFileIo::Op::Open, path), 1);
    EXPECT_EQ(read(other, "S", "K"), QStringLiteral("other"));
    EXPECT_EQ(read(path, "S", "K"), QStringLiteral("new"));
}

TEST_F(IniFileTest, MissingFileIsTriedWithPausesThenReported)
{
    const QString path = dir.filePath(QStringLiteral("MISSING.CFG"));
    clock.setTimer(100.0);
    EXPECT_FALSE(read(path, "S", "K").has_value());
    EXPECT_EQ(ini.lastError().source, QStringLiteral("iniread"));
    EXPECT_EQ(ini.lastError().description, QStringLiteral("Failed to open file"));
    EXPECT_EQ(ini.attempts(), 3);
    EXPECT_NEAR(clock.timer(), 102.0, 1e-6); // a pause between attempts, none after the last

    // A file that appears later is read: a failure is not remembered.
    write("[S]\r\nK=v\r\n", QStringLiteral("MISSING.CFG"));
    EXPECT_EQ(read(path, "S", "K"), QStringLiteral("v"));
}

TEST_F(IniFileTest, OpenFailuresBelowTheTriesAreAbsorbed)
{
    const QString path = write("[S]\r\nK=v\r\n");
    files.fail(FaultyFileIo::Op::Open, path, 2);
    EXPECT_EQ(read(path, "S", "K"), QStringLiteral("v"));
    EXPECT_EQ(files.attempts(FaultyFileIo::Op::Open, path), 3);
}

TEST_F(IniFileTest, OutOfRangeTriesAreClamped)
{
    const QString path = dir.filePath(QStringLiteral("MISSING.CFG"));
    EXPECT_FALSE(ini.iniread(path, QStringLiteral("S"), QStringLiteral("K"), 1, -1, 0, false).has_value());
    EXPECT_EQ(ini.attempts(), 10);
    EXPECT_FALSE(ini.iniread(path, QStringLiteral("S"), QStringLiteral("K"), 1, 5000, 0, false).has_value());
    EXPECT_EQ(ini.attempts(), 1000);
}

TEST_F(IniFileTest, ReadErrorIsReportedAndNotCached)
{
    const QString path = write("[S]\r\nK=v\r\nL=w\r\n");
    files.fail(FaultyFileIo::Op::Read, path, 1);
    EXPECT_FALSE(read(path, "S", "K").has_value());
    EXPECT_EQ(ini.lastError().description, QStringLiteral("Error reading file"));
    EXPECT_EQ(read(path, "S", "L"), QStringLiteral("w"));
}
