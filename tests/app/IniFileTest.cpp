// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/IniFile.h"

#include "support/FakeClock.h"
#include "support/FaultyFileIo.h"
#include "support/TestContext.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct IniFileTest : ::testing::Test
{
    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("TEST.CFG"))
    {
        EXPECT_TRUE(writeFileBytes(dir.filePath(name), bytes));
        return dir.filePath(name);
    }
    // The way every caller in the program asks.
    std::optional<QString> read(const QString& path, const char* section, const char* key, int occurrence = 1,
                                bool exactCase = false)
    {
        return ini.iniread(path, QLatin1String(section), QLatin1String(key), occurrence, 3, 10, exactCase);
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

TEST_F(IniFileTest, FindsKeysByExactNameKeepsValuesAsWrittenRemembersTheLastFileButNoFailure)
{
    const QString path = write(Sample);
    // Section, key, occurrence (0 asks for the count), value.
    const std::tuple<const char*, const char*, int, const char*> cases[] = {
        {"meter settings 1", "Revs_Per_Kwh", 1, "300"},
        {"METER SETTINGS 1", "COST_PER_KWH", 1, "  5 Pence "}, // leading line spaces only
        {"Meter Settings 1", "FORMULA", 1, "a=b=c"},           // split at the first "="
        {"Meter Settings 1", "EMPTY", 1, ""},                  // other section
        {"second  ", "EMPTY", 1, ""},                          // present but empty
        {"second  ", "EMPTY", 0, "1"},
        {"Meter Settings 1", "SPACED", 1, ""}, // "SPACED " is the key
        {"Meter Settings 1", "SPACED ", 1, " 1"},
        {"No Such Section", "REVS_PER_KWH", 1, ""},
        {"DEFAULT", "TOP", 1, "before any section"},
        {"Meter Settings 1", "#COMMENT WITHOUT EQUALS", 1, ""},
        // The section appears twice; its key three times, in two spellings.
        {"Meter Settings 1", "REVS_PER_KWH", 0, "3"},
        {"Meter Settings 1", "REVS_PER_KWH", 2, "7.5"},
        {"Meter Settings 1", "REVS_PER_KWH", 3, "900"}, // LF-only line end
        {"Meter Settings 1", "REVS_PER_KWH", 4, ""},
        {"Meter Settings 1", "MISSING", 0, "0"},
    };
    for (const auto& [section, key, occurrence, value] : cases)
        EXPECT_EQ(read(path, section, key, occurrence), QString::fromLatin1(value)) << section << "/" << key;
    EXPECT_EQ(read(path, "Meter Settings 1", "revs_per_kwh", 1, true), QStringLiteral("7.5"));
    EXPECT_EQ(read(path, "METER SETTINGS 1", "revs_per_kwh", 1, true), QString());

    // The same path, however padded, is answered from the entries already read; asking another path in between
    // makes it read again.
    write("[S]\r\nK=new\r\n");
    const QString other = write("[S]\r\nK=other\r\n", QStringLiteral("OTHER.CFG"));
    EXPECT_EQ(read(QStringLiteral("  ") + path + QStringLiteral(" "), "DEFAULT", "TOP"), "before any section");
    EXPECT_EQ(files.attempts(FaultyFileIo::Op::Open, path), 1);
    EXPECT_EQ(read(other, "S", "K"), QStringLiteral("other"));
    EXPECT_EQ(read(path, "S", "K"), QStringLiteral("new"));

    // Missing or unreadable files are tried with pauses, then reported, and not remembered.
    const QString missing = dir.filePath(QStringLiteral("MISSING.CFG"));
    clock.setTimer(100.0);
    EXPECT_FALSE(read(missing, "S", "K").has_value());
    EXPECT_EQ(ini.lastError().source + ": " + ini.lastError().description, "iniread: Failed to open file");
    EXPECT_EQ(ini.attempts(), 3);
    EXPECT_NEAR(clock.timer(), 102.0, 1e-6); // a pause between attempts, none after the last

    for (auto [tries, clamped] : {std::pair{-1, 10}, {5000, 1000}}) { // out-of-range tries are clamped
        EXPECT_FALSE(ini.iniread(missing, QStringLiteral("S"), QStringLiteral("K"), 1, tries, 0, false).has_value());
        EXPECT_EQ(ini.attempts(), clamped);
    }

    // A file that appears later is read: a failure is not remembered. Failures below the tries are absorbed.
    write("[S]\r\nK=v\r\n", QStringLiteral("MISSING.CFG"));
    files.fail(FaultyFileIo::Op::Open, missing, 2);
    const int opens = files.attempts(FaultyFileIo::Op::Open, missing);
    EXPECT_EQ(read(missing, "S", "K"), QStringLiteral("v"));
    EXPECT_EQ(files.attempts(FaultyFileIo::Op::Open, missing) - opens, 3);

    // A read error is reported and not remembered either.
    const QString unreadable = write("[S]\r\nK=v\r\nL=w\r\n");
    files.fail(FaultyFileIo::Op::Read, unreadable, 1);
    EXPECT_FALSE(read(unreadable, "S", "K").has_value());
    EXPECT_EQ(ini.lastError().description, QStringLiteral("Error reading file"));
    EXPECT_EQ(read(unreadable, "S", "L"), QStringLiteral("w"));
}

} // namespace
