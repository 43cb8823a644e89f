// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ConfigFiles.h"

#include "support/TestContext.h"

#include <QFile>
#include <functional>
#include <gtest/gtest.h>

namespace {

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

const QByteArray FactoryMeter = "[Meter Settings 1]\r\nREVS_PER_KWH=300\r\nCOST_PER_KWH=5\r\n\r\n";
const QByteArray FactoryLogging = "[Logging Settings]\r\nLOGGING_INTERVAL_SECONDS=300\r\n#in seconds#\r\n";
const QByteArray FactoryAdvanced = "[Advanced Settings]\r\n"
                                   "\r\n"
                                   "[Output File]\r\n"
                                   "END_OF_LINE_CHARACTERS=13,10\r\n"
                                   "FIELD_DELIMITER=44\r\n"
                                   "\r\n"
                                   "[Data Array]\r\n"
                                   "DATA_ARRAY_LENGTH=10000\r\n"
                                   "ARRAY_WRITE_INTERVAL_SECONDS=600\r\n"
                                   "WRITE_ARRAY_TO_DISK=True\r\n"
                                   "WRITE_LIVE_DATA_FILE=False\r\n"
                                   "WRITE_DIFF_LOG_FILE=False\r\n"
                                   "\r\n"
                                   "[File Handling]\r\n"
                                   "FILE_WRITE_TRIES=3\r\n"
                                   "FILE_WRITE_DELAY_TENTHS=10\r\n"
                                   "FILE_READ_TRIES=3\r\n"
                                   "FILE_READ_DELAY_TENTHS=10\r\n"
                                   "\r\n"
                                   "[Display Settings]\r\n"
                                   "CURRENCY_TITLE=Pence\r\n"
                                   "ENERGY_TITLE=KWH\r\n"
                                   "POWER_TITLE=KW\r\n"
                                   "COST_ROUNDING_PLACES=4\r\n"
                                   "POWER_ROUNDING_PLACES=4\r\n"
                                   "ENERGY_ROUNDING_PLACES=4\r\n"
                                   "\r\n"
                                   "[System Timers]\r\n"
                                   "TIMER_TICK_MILLISECONDS=200\r\n"
                                   "LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS=1000\r\n"
                                   "TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS=1000\r\n"
                                   "\r\n";
const QByteArray FactoryCamera = "[Camera Settings]\r\n"
                                 "\r\n"
                                 "[Motion Detection]\r\n"
                                 "DETECTION_GRID=5555555555 5555555555 5555555555 5555555555 5555555555 5555555555 "
                                 "5555555555 5555555555 5555555555 5555555555\r\n"
                                 "DETECT_RED=true\r\n"
                                 "DETECT_GREEN=true\r\n"
                                 "DETECT_BLUE=true\r\n"
                                 "SETTLE_TIME=3000\r\n"
                                 "\r\n"
                                 "[Image Settings]\r\n"
                                 "FRAME_RATE=25\r\n"
                                 "REDUCE_VIDEO_NOISE=true\r\n"
                                 "VIDEO_SIZE=5\r\n"
                                 "STRETCH_VIDEO_SIZE=false\r\n"
                                 "IMAGE_INTENSITY_FACTOR=100000\r\n"
                                 "INVERT_IMAGE_INTENSITY=false\r\n"
                                 "\r\n"
                                 "[Mark Detection]\r\n"
                                 "TRIGGER_LEVEL=1000\r\n"
                                 "DEBOUNCE_TIME=300\r\n"
                                 "TRIGGER_EVENTS_TO_AVERAGE=20\r\n"
                                 "TRACK_AMBIENT_LIGHT_CHANGE=false\r\n"
                                 "PERCENT_AMBIENT_LIGHT_TO_TRACK=50\r\n"
                                 "\r\n";

// The factory file with one line replaced (or added when the key is not in it).
QByteArray withLine(QByteArray file, const QByteArray& key, const QByteArray& newLine)
{
    const qsizetype at = file.indexOf("\r\n" + key + "=");
    if (at < 0)
        return file + newLine + "\r\n";
    const qsizetype end = file.indexOf("\r\n", at + 2);
    return file.replace(at + 2, end - at - 2, newLine);
}

GlobalSettings unusualSettings()
{
    GlobalSettings s;
    s.REVS_PER_KWH = 0.0000001;
    s.COST_PER_KWH = 12345.678901234;
    s.LOGGING_INTERVAL_SECONDS = 60000;
    s.END_OF_LINE_CHARACTERS = QStringLiteral("10");
    s.FIELD_DELIMITER = QStringLiteral("9,59");
    s.DATA_ARRAY_LENGTH = 100000000;
    s.ARRAY_WRITE_INTERVAL_SECONDS = 0;
    s.WRITE_ARRAY_TO_DISK = false;
    s.WRITE_LIVE_DATA_FILE = true;
    s.WRITE_DIFF_LOG_FILE = true;
    s.FILE_WRITE_TRIES = 1000;
    s.FILE_WRITE_DELAY_TENTHS = 1;
    s.FILE_READ_TRIES = 7;
    s.FILE_READ_DELAY_TENTHS = 999;
    s.CURRENCY_TITLE = QStringLiteral(" Euro, cents=€");
    s.ENERGY_TITLE = QStringLiteral("[kWh]");
    s.POWER_TITLE = QStringLiteral("#kW#");
    s.COST_ROUNDING_PLACES = 0;
    s.POWER_ROUNDING_PLACES = 8;
    s.ENERGY_ROUNDING_PLACES = 2;
    s.TIMER_TICK_MILLISECONDS = 10;
    s.LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS = 1000000;
    s.TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS = 500;
    s.DETECTION_GRID = QStringLiteral("0123 4567");
    s.DETECT_RED = false;
    s.DETECT_GREEN = true;
    s.DETECT_BLUE = false;
    s.SETTLE_TIME = 10;
    s.FRAME_RATE = 0.001;
    s.REDUCE_VIDEO_NOISE = false;
    s.VIDEO_SIZE = 12;
    s.STRETCH_VIDEO_SIZE = true;
    s.IMAGE_INTENSITY_FACTOR = 1;
    s.INVERT_IMAGE_INTENSITY = true;
    s.TRIGGER_LEVEL = 100000;
    s.DEBOUNCE_TIME = 60000;
    s.TRIGGER_EVENTS_TO_AVERAGE = 1;
    s.TRACK_AMBIENT_LIGHT_CHANGE = true;
    s.PERCENT_AMBIENT_LIGHT_TO_TRACK = 10000;
    return s;
}

class ConfigFilesTest : public ::testing::Test
{
protected:
    TestContext t;
    MeteringContext& ctx = t.ctx;
    const FilePaths& paths() { return ctx.paths; }
};

} // namespace

TEST_F(ConfigFilesTest, MissingFilesAreCreatedWithTheFactoryBytes)
{
    MakeDefaultSettingsFiles(ctx);
    EXPECT_EQ(readBytes(paths().meterSettings), FactoryMeter);
    EXPECT_EQ(readBytes(paths().loggingSettings), FactoryLogging);
    EXPECT_EQ(readBytes(paths().advancedSettings), FactoryAdvanced);
    EXPECT_EQ(readBytes(paths().cameraSettings), FactoryCamera);
    EXPECT_TRUE(t.dialogs.shown.empty());
}

TEST_F(ConfigFilesTest, ExistingFilesAreLeftAsTheyAre)
{
    writeBytes(paths().advancedSettings, "not a settings file at all");
    writeBytes(paths().cameraSettings, "");
    MakeDefaultSettingsFiles(ctx);
    EXPECT_EQ(readBytes(paths().advancedSettings), QByteArray("not a settings file at all"));
    EXPECT_EQ(readBytes(paths().cameraSettings), QByteArray());
    EXPECT_EQ(readBytes(paths().meterSettings), FactoryMeter);
    EXPECT_EQ(readBytes(paths().loggingSettings), FactoryLogging);
}

TEST_F(ConfigFilesTest, AFileThatCannotBeCreatedIsReportedAndTheOthersAreStillMade)
{
    t.files.fail(FaultyFileIo::Op::Open, paths().loggingSettings);
    t.files.fail(FaultyFileIo::Op::Write, paths().cameraSettings);
    MakeDefaultSettingsFiles(ctx);
    EXPECT_EQ(t.dialogs.texts(),
              QStringList({QStringLiteral("Error making Logging Settings File: Couldn't open the file for writing\r\n"),
                           QStringLiteral("Error making Camera Settings File: Couldn't write data to file\r\n")}));
    EXPECT_EQ(t.files.attempts(FaultyFileIo::Op::Open, paths().loggingSettings), 3);
    EXPECT_EQ(readBytes(paths().advancedSettings), FactoryAdvanced);
    EXPECT_FALSE(QFile::exists(paths().cameraSettings)); // nothing half-written left behind
}

TEST_F(ConfigFilesTest, FactoryFilesReadBackAsTheFactoryRecord)
{
    MakeDefaultSettingsFiles(ctx);
    ctx.settings = GlobalSettings{};
    ctx.strGlobalEndOfLine.clear();
    ctx.strGlobalFieldDelimiter.clear();
    LoadAllSettings(ctx);
    EXPECT_TRUE(t.dialogs.shown.empty());
    EXPECT_EQ(ctx.settings, SettingsDefaults::factorySettings());
    EXPECT_EQ(ctx.strGlobalEndOfLine, QStringLiteral("\r\n"));
    EXPECT_EQ(ctx.strGlobalFieldDelimiter, QStringLiteral(","));
}

TEST_F(ConfigFilesTest, UnusualValuesSurviveSaveAndLoad)
{
    // Numbers in configuration files never take the locale's decimal comma.
    const QLocale previousDefault;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ctx.locale = QLocale(QLocale::German, QLocale::Germany);
    const GlobalSettings written = unusualSettings();
    ctx.settings = written;
    EXPECT_EQ(SaveMeterSettings(ctx), QString());
    EXPECT_EQ(SaveLoggingSettings(ctx), QString());
    EXPECT_EQ(SaveAdvancedSettings(ctx), QString());
    EXPECT_EQ(SaveCameraSettings(ctx), QString());
    QLocale::setDefault(previousDefault);

    const QByteArray meter = readBytes(paths().meterSettings);
    EXPECT_EQ(meter, QByteArray("[Meter Settings 1]\r\nREVS_PER_KWH=1E-07\r\nCOST_PER_KWH=12345.678901234\r\n\r\n"));
    EXPECT_TRUE(readBytes(paths().cameraSettings).contains("\r\nFRAME_RATE=0.001\r\n"));
    EXPECT_TRUE(readBytes(paths().advancedSettings).contains("\r\nWRITE_LIVE_DATA_FILE=True\r\n"));

    ctx.settings = GlobalSettings{};
    LoadAllSettings(ctx);
    EXPECT_TRUE(t.dialogs.shown.empty());
    EXPECT_EQ(ctx.settings, written);
    EXPECT_EQ(ctx.strGlobalEndOfLine, QStringLiteral("\n"));
    EXPECT_EQ(ctx.strGlobalFieldDelimiter, QStringLiteral("\t;"));
}

namespace {

enum class Group
{
    Meter,
    Logging,
    Advanced,
    Camera
};

struct ReadCase
{
    const char* name;
    Group group;
    QByteArray key;
    QByteArray line; // replaces the key's factory line
    bool loads;      // what the group reader returns
    std::function<bool(const AppContext&)> holds;
};

// Runs the group reader on its factory file with one line changed.
bool loadWith(TestContext& t, const ReadCase& c)
{
    AppContext& ctx = t.ctx;
    MakeDefaultSettingsFiles(ctx);
    const QString* path = nullptr;
    QByteArray factory;
    switch (c.group) {
    case Group::Meter:
        path = &ctx.paths.meterSettings;
        factory = FactoryMeter;
        break;
    case Group::Logging:
        path = &ctx.paths.loggingSettings;
        factory = FactoryLogging;
        break;
    case Group::Advanced:
        path = &ctx.paths.advancedSettings;
        factory = FactoryAdvanced;
        break;
    case Group::Camera:
        path = &ctx.paths.cameraSettings;
        factory = FactoryCamera;
        break;
    }
    writeBytes(*path, withLine(factory, c.key, c.line));
    ctx.settings = GlobalSettings{};
    switch (c.group) {
    case Group::Meter:
        return LoadMeterSettings(ctx);
    case Group::Logging:
        return LoadLoggingSettings(ctx);
    case Group::Advanced:
        return LoadAdvancedSettings(ctx);
    case Group::Camera:
        return LoadCameraSettings(ctx);
    }
    return false;
}

const GlobalSettings& S(const AppContext& c)
{
    return c.settings;
}

} // namespace

TEST(ConfigFilesRead, EachValueIsCheckedAgainstItsReadRange)
{
    const QString grid = SettingsDefaults::DefaultGrid;
    const std::vector<ReadCase> cases = {
        {"names match whatever their case", Group::Meter, "REVS_PER_KWH", "revs_per_kwh=7.5", true,
         [](auto& c) { return S(c).REVS_PER_KWH == 7.5; }},
        {"space before equals hides the key", Group::Meter, "REVS_PER_KWH", "REVS_PER_KWH = 7.5", true,
         [](auto& c) { return S(c).REVS_PER_KWH == 300; }},
        {"spaces around a number are allowed", Group::Meter, "COST_PER_KWH", "COST_PER_KWH= 12.5 ", true,
         [](auto& c) { return S(c).COST_PER_KWH == 12.5; }},
        {"smallest meter constant", Group::Meter, "REVS_PER_KWH", "REVS_PER_KWH=1E-07", true,
         [](auto& c) { return S(c).REVS_PER_KWH == 0.0000001; }},
        {"meter constant zero", Group::Meter, "REVS_PER_KWH", "REVS_PER_KWH=0", true,
         [](auto& c) { return S(c).REVS_PER_KWH == 300; }},
        {"price above its range", Group::Meter, "COST_PER_KWH", "COST_PER_KWH=1000000001", true,
         [](auto& c) { return S(c).COST_PER_KWH == 5; }},
        {"price in comma decimal", Group::Meter, "COST_PER_KWH", "COST_PER_KWH=7,5", true,
         [](auto& c) { return S(c).COST_PER_KWH == 5; }},
        {"interval below range", Group::Logging, "LOGGING_INTERVAL_SECONDS", "LOGGING_INTERVAL_SECONDS=29", true,
         [](auto& c) { return S(c).LOGGING_INTERVAL_SECONDS == 300; }},
        {"interval at top", Group::Logging, "LOGGING_INTERVAL_SECONDS", "LOGGING_INTERVAL_SECONDS=60000", true,
         [](auto& c) { return S(c).LOGGING_INTERVAL_SECONDS == 60000; }},
        {"interval text too long", Group::Logging, "LOGGING_INTERVAL_SECONDS", "LOGGING_INTERVAL_SECONDS=060000", true,
         [](auto& c) { return S(c).LOGGING_INTERVAL_SECONDS == 300; }},
        {"interval rounds halves to even", Group::Logging, "LOGGING_INTERVAL_SECONDS", "LOGGING_INTERVAL_SECONDS=30.5",
         true, [](auto& c) { return S(c).LOGGING_INTERVAL_SECONDS == 30; }},
        {"array below range", Group::Advanced, "DATA_ARRAY_LENGTH", "DATA_ARRAY_LENGTH=999", true,
         [](auto& c) { return S(c).DATA_ARRAY_LENGTH == 10000; }},
        {"array at bottom", Group::Advanced, "DATA_ARRAY_LENGTH", "DATA_ARRAY_LENGTH=1000", true,
         [](auto& c) { return S(c).DATA_ARRAY_LENGTH == 1000; }},
        {"array at top", Group::Advanced, "DATA_ARRAY_LENGTH", "DATA_ARRAY_LENGTH=100000000", true,
         [](auto& c) { return S(c).DATA_ARRAY_LENGTH == 100000000; }},
        {"backup interval zero", Group::Advanced, "ARRAY_WRITE_INTERVAL_SECONDS", "ARRAY_WRITE_INTERVAL_SECONDS=0",
         true, [](auto& c) { return S(c).ARRAY_WRITE_INTERVAL_SECONDS == 0; }},
        {"boolean with spaces", Group::Advanced, "WRITE_ARRAY_TO_DISK", "WRITE_ARRAY_TO_DISK= false ", true,
         [](auto& c) { return !S(c).WRITE_ARRAY_TO_DISK; }},
        {"boolean T", Group::Advanced, "WRITE_LIVE_DATA_FILE", "WRITE_LIVE_DATA_FILE=t", true,
         [](auto& c) { return S(c).WRITE_LIVE_DATA_FILE; }},
        {"rounding places above range", Group::Advanced, "POWER_ROUNDING_PLACES", "POWER_ROUNDING_PLACES=9", true,
         [](auto& c) { return S(c).POWER_ROUNDING_PLACES == 4; }},
        {"tick below range", Group::Advanced, "TIMER_TICK_MILLISECONDS", "TIMER_TICK_MILLISECONDS=9", true,
         [](auto& c) { return S(c).TIMER_TICK_MILLISECONDS == 200; }},
        {"long title is cut", Group::Advanced, "CURRENCY_TITLE", "CURRENCY_TITLE=abcdefghijklmnopqrstuvwxy", true,
         [](auto& c) { return S(c).CURRENCY_TITLE == QStringLiteral("abcdefghijklmnopqrst"); }},
        {"empty title", Group::Advanced, "CURRENCY_TITLE", "CURRENCY_TITLE=", true,
         [](auto& c) { return S(c).CURRENCY_TITLE == QStringLiteral("Pence"); }},
        {"title keeps its spaces", Group::Advanced, "POWER_TITLE", "POWER_TITLE= k W ", true,
         [](auto& c) { return S(c).POWER_TITLE == QStringLiteral(" k W "); }},
        {"code list that is no number", Group::Advanced, "END_OF_LINE_CHARACTERS", "END_OF_LINE_CHARACTERS=abc", true,
         [](auto& c) {
             return S(c).END_OF_LINE_CHARACTERS == QStringLiteral("abc") &&
                    c.strGlobalEndOfLine == QStringLiteral("\r\n");
         }},
        {"empty code list", Group::Advanced, "FIELD_DELIMITER", "FIELD_DELIMITER=", true,
         [](auto& c) { return S(c).FIELD_DELIMITER.isEmpty() && c.strGlobalFieldDelimiter == QStringLiteral(","); }},
        {"code above 255 is skipped", Group::Advanced, "END_OF_LINE_CHARACTERS", "END_OF_LINE_CHARACTERS=256,10", true,
         [](auto& c) { return c.strGlobalEndOfLine == QStringLiteral("\n"); }},
        {"percent far above a hundred", Group::Camera, "PERCENT_AMBIENT_LIGHT_TO_TRACK",
         "PERCENT_AMBIENT_LIGHT_TO_TRACK=500", true,
         [](auto& c) { return S(c).PERCENT_AMBIENT_LIGHT_TO_TRACK == 500; }},
        {"unknown boolean word", Group::Camera, "DETECT_RED", "DETECT_RED=no", true,
         [](auto& c) { return S(c).DETECT_RED; }},
        {"boolean F", Group::Camera, "DETECT_RED", "DETECT_RED=f", true, [](auto& c) { return !S(c).DETECT_RED; }},
        {"empty boolean", Group::Camera, "REDUCE_VIDEO_NOISE", "REDUCE_VIDEO_NOISE=", true,
         [](auto& c) { return S(c).REDUCE_VIDEO_NOISE; }},
        {"advanced-style boolean in camera file", Group::Camera, "STRETCH_VIDEO_SIZE", "STRETCH_VIDEO_SIZE=True", true,
         [](auto& c) { return S(c).STRETCH_VIDEO_SIZE; }},
        {"video size 13", Group::Camera, "VIDEO_SIZE", "VIDEO_SIZE=13", true,
         [](auto& c) { return S(c).VIDEO_SIZE == 5; }},
        {"video size 0", Group::Camera, "VIDEO_SIZE", "VIDEO_SIZE=0", true,
         [](auto& c) { return S(c).VIDEO_SIZE == 5; }},
        {"frame rate below range", Group::Camera, "FRAME_RATE", "FRAME_RATE=0.0009", true,
         [](auto& c) { return S(c).FRAME_RATE == 25; }},
        {"grid is trimmed", Group::Camera, "DETECTION_GRID", "DETECTION_GRID=  12 34  ", true,
         [](auto& c) { return S(c).DETECTION_GRID == QStringLiteral("12 34"); }},
        {"blank grid", Group::Camera, "DETECTION_GRID", "DETECTION_GRID=   ", true,
         [&grid](auto& c) { return S(c).DETECTION_GRID == grid; }},
    };
    for (const ReadCase& c : cases) {
        TestContext t;
        EXPECT_EQ(loadWith(t, c), c.loads) << c.name;
        EXPECT_TRUE(c.holds(t.ctx)) << c.name;
    }
}

TEST(ConfigFilesRead, AConversionFailureGivesFactoryValuesFromThereOn)
{
    const std::vector<ReadCase> cases = {
        // 40000 does not fit the 16-bit key: it and every later key of the group take factory values.
        {"16-bit overflow", Group::Advanced, "FILE_WRITE_DELAY_TENTHS", "FILE_WRITE_DELAY_TENTHS=40000", false,
         [](auto& c) {
             return S(c).FILE_WRITE_TRIES == 7 && S(c).FILE_WRITE_DELAY_TENTHS == 10 && S(c).FILE_READ_TRIES == 3 &&
                    S(c).CURRENCY_TITLE == QStringLiteral("Pence") && S(c).TIMER_TICK_MILLISECONDS == 200;
         }},
        {"32-bit overflow", Group::Camera, "TRIGGER_LEVEL", "TRIGGER_LEVEL=1E20", false,
         [](auto& c) {
             return !S(c).DETECT_RED && S(c).TRIGGER_LEVEL == 1000 && S(c).DEBOUNCE_TIME == 300 &&
                    S(c).PERCENT_AMBIENT_LIGHT_TO_TRACK == 50;
         }},
        {"empty code item", Group::Advanced, "END_OF_LINE_CHARACTERS", "END_OF_LINE_CHARACTERS=13,,10", false,
         [](auto& c) {
             return S(c).END_OF_LINE_CHARACTERS == QStringLiteral("13,10") &&
                    S(c).FIELD_DELIMITER == QStringLiteral("44") && c.strGlobalEndOfLine == QStringLiteral("\r\n") &&
                    c.strGlobalFieldDelimiter == QStringLiteral(",") && S(c).FILE_READ_TRIES == 3;
         }},
    };
    for (const ReadCase& c : cases) {
        TestContext t;
        // Non-factory values elsewhere in the file show which keys were still read from it.
        MakeDefaultSettingsFiles(t.ctx);
        const QString path = c.group == Group::Camera ? t.ctx.paths.cameraSettings : t.ctx.paths.advancedSettings;
        QByteArray file;
        if (c.group == Group::Camera) {
            file = withLine(FactoryCamera, "DETECT_RED", "DETECT_RED=false");
            file = withLine(file, "DEBOUNCE_TIME", "DEBOUNCE_TIME=40");
        } else {
            file = withLine(FactoryAdvanced, "FILE_WRITE_TRIES", "FILE_WRITE_TRIES=7");
            file = withLine(file, "FILE_READ_TRIES", "FILE_READ_TRIES=9");
            file = withLine(file, "FIELD_DELIMITER", "FIELD_DELIMITER=9");
        }
        file = withLine(file, c.key, c.line);
        writeBytes(path, file);
        t.ctx.settings = GlobalSettings{};
        const bool loaded = c.group == Group::Camera ? LoadCameraSettings(t.ctx) : LoadAdvancedSettings(t.ctx);
        EXPECT_EQ(loaded, c.loads) << c.name;
        EXPECT_TRUE(c.holds(t.ctx)) << c.name;
    }
}

TEST_F(ConfigFilesTest, UnreadableFilesFailTheirGroupWithFactoryValues)
{
    MakeDefaultSettingsFiles(ctx);
    writeBytes(paths().meterSettings, "[Meter Settings 1]\r\nREVS_PER_KWH=75\r\nCOST_PER_KWH=12\r\n");
    writeBytes(paths().cameraSettings, withLine(FactoryCamera, "TRIGGER_LEVEL", "TRIGGER_LEVEL=5"));
    t.files.fail(FaultyFileIo::Op::Open, paths().meterSettings);
    t.files.fail(FaultyFileIo::Op::Read, paths().cameraSettings, 1);
    QFile::remove(paths().loggingSettings);
    ctx.settings = GlobalSettings{};
    const double before = t.clock.timer();
    const int opensBefore = t.files.attempts(FaultyFileIo::Op::Open, paths().meterSettings);
    LoadAllSettings(ctx);
    EXPECT_EQ(t.dialogs.texts(), QStringList({QStringLiteral("Failed to load meter settings"),
                                              QStringLiteral("Failed to load logging settings"),
                                              QStringLiteral("Failed to load camera settings")}));
    EXPECT_EQ(ctx.settings, SettingsDefaults::factorySettings());
    EXPECT_EQ(t.files.attempts(FaultyFileIo::Op::Open, paths().meterSettings) - opensBefore, 3);
    EXPECT_GE(t.clock.timer() - before, 2 * 2 * 0.9); // two pauses of about a second for each file not opened
}

TEST_F(ConfigFilesTest, WriterRetriesAndReportsEachKindOfFailure)
{
    const QString path = paths().meterSettings;
    const QStringList lines = MeterSettingsLines(SettingsDefaults::factorySettings());

    t.files.fail(FaultyFileIo::Op::Open, path, 2);
    t.files.fail(FaultyFileIo::Op::Write, path, 2);
    EXPECT_EQ(write_settings_file(ctx, path, lines), QString());
    EXPECT_EQ(readBytes(path), FactoryMeter);

    writeBytes(path, "old");
    t.files.fail(FaultyFileIo::Op::Open, path);
    EXPECT_EQ(write_settings_file(ctx, path, lines), QStringLiteral("Couldn't open the file for writing\r\n"));
    t.files.fail(FaultyFileIo::Op::Open, path, 0);

    t.files.fail(FaultyFileIo::Op::Write, path);
    EXPECT_EQ(write_settings_file(ctx, path, lines), QStringLiteral("Couldn't write data to file\r\n"));
    EXPECT_EQ(readBytes(path), QByteArray("old"));
    t.files.fail(FaultyFileIo::Op::Write, path, 0);

    t.files.fail(FaultyFileIo::Op::Close, path, 1);
    EXPECT_EQ(write_settings_file(ctx, path, lines), QStringLiteral("Couldn't close the file\r\n"));
}

TEST_F(ConfigFilesTest, WriterStopsAtTheEndMarkerOrAfterAHundredLines)
{
    const QString path = paths().meterSettings;
    EXPECT_EQ(write_settings_file(ctx, path, {QStringLiteral("a"), QString(), SettingsEndMarker, QStringLiteral("b")}),
              QString());
    EXPECT_EQ(readBytes(path), QByteArray("a\r\n\r\n"));

    QStringList many;
    for (int i = 1; i <= 150; ++i)
        many << QString::number(i);
    EXPECT_EQ(write_settings_file(ctx, path, many), QString());
    const QByteArray bytes = readBytes(path);
    EXPECT_EQ(bytes.count("\r\n"), 100);
    EXPECT_TRUE(bytes.endsWith("\r\n100\r\n"));
}

TEST(CodesToText, DecodesCodeListsAndFallsBackToTheDefault)
{
    struct Case
    {
        const char* codes;
        const char* defaults;
        QString text;
        bool ok;
    };
    const Case cases[] = {
        {"13,10", "13,10", QStringLiteral("\r\n"), true},
        {"44", "44", QStringLiteral(","), true},
        {"9", "44", QStringLiteral("\t"), true},
        {" 59 ", "44", QStringLiteral(";"), true},
        {"abc", "13,10", QStringLiteral("\r\n"), true},
        {"", "44", QStringLiteral(","), true},
        {"13, 10", "44", QStringLiteral(","), true}, // "13 10" is no number, so the default applies
        {"256,10", "13,10", QStringLiteral("\n"), true},
        {"1000,10", "13,10", QStringLiteral("\n"), true},
        {"-1,65", "44", QStringLiteral("A"), true},
        {"2.5", "44", QString(QChar(2)), true}, // halves to even
        {"3.5", "44", QString(QChar(4)), true},
        {"2.5,3.5", "44", QStringLiteral(","), true}, // "2.53.5" is no number
        {"13,10,", "44", QStringLiteral("\r\n"), true},
        {"1e2", "44", QStringLiteral("d"), true},
        {"13,,10", "44", QStringLiteral("\r\n"), false},
        {",65", "44", QStringLiteral("A"), false},
        {"1,e5", "44", QString(QChar(1)), false},
    };
    for (const Case& c : cases) {
        bool ok = !c.ok;
        EXPECT_EQ(CodesToText(QLatin1String(c.codes), QLatin1String(c.defaults), &ok), c.text) << c.codes;
        EXPECT_EQ(ok, c.ok) << c.codes;
    }
}
