// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ConfigFiles.h"

#include "app/DetectorSettings.h"
#include "app/ExtraSettingsFiles.h"
#include "app/PublishSettings.h"
#include "app/RegisterSettings.h"
#include "app/SettingsFile.h"
#include "app/TariffSettings.h"
#include "app/UnattendedSettings.h"
#include "support/TestContext.h"

#include <QFile>
#include <QFileInfo>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

mode_t fileMode(const QString& path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
}

const QByteArray FactoryMeter = "[Meter Settings 1]\r\nREVS_PER_KWH=300\r\nCOST_PER_KWH=5\r\n\r\n";
const QByteArray FactoryLogging = "[Logging Settings]\r\nLOGGING_INTERVAL_SECONDS=300\r\n#in seconds#\r\n";
const QByteArray FactoryAdvanced =
    "[Advanced Settings]\r\n\r\n[Output File]\r\nEND_OF_LINE_CHARACTERS=13,10\r\nFIELD_DELIMITER=44\r\n\r\n"
    "[Data Array]\r\nDATA_ARRAY_LENGTH=10000\r\nARRAY_WRITE_INTERVAL_SECONDS=600\r\nWRITE_ARRAY_TO_DISK=True\r\n"
    "WRITE_LIVE_DATA_FILE=False\r\nWRITE_DIFF_LOG_FILE=False\r\n\r\n"
    "[File Handling]\r\nFILE_WRITE_TRIES=3\r\nFILE_WRITE_DELAY_TENTHS=10\r\nFILE_READ_TRIES=3\r\n"
    "FILE_READ_DELAY_TENTHS=10\r\n\r\n"
    "[Display Settings]\r\nCURRENCY_TITLE=Pence\r\nENERGY_TITLE=KWH\r\nPOWER_TITLE=KW\r\nCOST_ROUNDING_PLACES=4\r\n"
    "POWER_ROUNDING_PLACES=4\r\nENERGY_ROUNDING_PLACES=4\r\n\r\n"
    "[System Timers]\r\nTIMER_TICK_MILLISECONDS=200\r\nLOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS=1000\r\n"
    "TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS=1000\r\n\r\n";
const QByteArray FactoryCamera =
    "[Camera Settings]\r\n\r\n[Motion Detection]\r\nDETECTION_GRID=5555555555 5555555555 5555555555 5555555555 "
    "5555555555 5555555555 5555555555 5555555555 5555555555 5555555555\r\n"
    "DETECT_RED=true\r\nDETECT_GREEN=true\r\nDETECT_BLUE=true\r\nSETTLE_TIME=3000\r\n\r\n"
    "[Image Settings]\r\nFRAME_RATE=25\r\nREDUCE_VIDEO_NOISE=true\r\nVIDEO_SIZE=5\r\nSTRETCH_VIDEO_SIZE=false\r\n"
    "IMAGE_INTENSITY_FACTOR=100000\r\nINVERT_IMAGE_INTENSITY=false\r\n\r\n"
    "[Mark Detection]\r\nTRIGGER_LEVEL=1000\r\nDEBOUNCE_TIME=300\r\nTRIGGER_EVENTS_TO_AVERAGE=20\r\n"
    "TRACK_AMBIENT_LIGHT_CHANGE=false\r\nPERCENT_AMBIENT_LIGHT_TO_TRACK=50\r\n\r\n";
// The publish file as an earlier version wrote it, then with the keys added since.
const QByteArray FactoryPublish =
    "[MQTT Broker]\r\nPUBLISH_MQTT=false\r\nMQTT_HOST=localhost\r\nMQTT_PORT=1883\r\nMQTT_USERNAME=\r\n"
    "MQTT_PASSWORD=\r\nMQTT_USE_TLS=false\r\nMQTT_CA_FILE=\r\n\r\n[Topics]\r\nMQTT_BASE_TOPIC=wattsight\r\n"
    "METER_ID=meter1\r\nHOME_ASSISTANT_DISCOVERY=true\r\nDISCOVERY_PREFIX=homeassistant\r\n"
    "\r\n[Energy Dashboard]\r\nCURRENCY_CODE=\r\nPRICE_UNITS_PER_CURRENCY_UNIT=1\r\nACCEPT_MQTT_COMMANDS=false\r\n"
    "PUBLISH_PICTURE=false\r\n\r\n[Web Page]\r\nWEB_PAGE=false\r\nWEB_ADDRESS=127.0.0.1\r\nWEB_PORT=8080\r\n"
    "WEB_PASSWORD=\r\n";

const QByteArray FactoryTariff =
    "[Tariffs]\r\nTARIFF_COUNT=1\r\nTARIFF_1_NAME=Day\r\nTARIFF_2_NAME=Night\r\nTARIFF_2_COST_PER_KWH=5\r\n\r\n"
    "[Schedule]\r\nTARIFF_2_HOURS=22:00-06:00\r\nTARIFF_2_ALL_WEEKEND=false\r\nTARIFF_FROM_MQTT=false\r\n";
const QByteArray FactoryRegister = "[Register]\r\nREGISTER_REGION=\r\nREGISTER_DIGITS=6\r\nREGISTER_DECIMALS=1\r\n"
                                   "REGISTER_CHECK_MINUTES=10\r\n";

struct GroupFile
{
    QString FilePaths::*path;
    const QByteArray& factory;
    bool (*load)(AppContext&);
};
const GroupFile Groups[] = {{&FilePaths::meterSettings, FactoryMeter, &LoadMeterSettings},
                            {&FilePaths::loggingSettings, FactoryLogging, &LoadLoggingSettings},
                            {&FilePaths::advancedSettings, FactoryAdvanced, &LoadAdvancedSettings},
                            {&FilePaths::cameraSettings, FactoryCamera, &LoadCameraSettings}};

QByteArray keyOf(const QByteArray& line)
{
    return line.left(line.indexOf('=')).trimmed().toUpper();
}

// The factory file with the key's line replaced.
QByteArray withLine(QByteArray file, const QByteArray& line)
{
    const qsizetype at = file.indexOf("\r\n" + keyOf(line) + "=");
    const qsizetype end = file.indexOf("\r\n", at + 2);
    return file.replace(at + 2, end - at - 2, line);
}

// Writes the factory file of the first line's group with the given lines in place and runs its reader.
bool loadWith(TestContext& t, std::initializer_list<QByteArray> lines)
{
    for (const GroupFile& g : Groups) {
        if (!g.factory.contains("\r\n" + keyOf(*lines.begin()) + "="))
            continue;
        QByteArray file = g.factory;
        for (const QByteArray& line : lines)
            file = withLine(file, line);
        EXPECT_TRUE(writeFileBytes(t.ctx.paths.*g.path, file));
        t.ctx.settings = GlobalSettings{};
        return g.load(t.ctx);
    }
    ADD_FAILURE() << "no group holds " << lines.begin()->constData();
    return false;
}

struct ConfigFilesTest : ::testing::Test
{
    TestContext t;
    MeteringContext& ctx = t.ctx;
    const FilePaths& paths = t.ctx.paths;
};

TEST_F(ConfigFilesTest, MissingFilesAreCreatedWithTheFactoryBytesUnreadableOnesFailTheirGroupWithFactoryValues)
{
    // A file that cannot be made is reported, with nothing half-written left behind; the others are still made.
    t.files.fail(FaultyFileIo::Op::Open, paths.loggingSettings, 3);
    t.files.fail(FaultyFileIo::Op::Write, paths.cameraSettings, 3);
    MakeDefaultSettingsFiles(ctx);
    EXPECT_EQ(t.dialogs.texts(),
              QStringList({QStringLiteral("Error making Logging Settings File: Couldn't open the file for writing\r\n"),
                           QStringLiteral("Error making Camera Settings File: Couldn't write data to file\r\n")}));
    EXPECT_FALSE(QFile::exists(paths.cameraSettings) || QFile::exists(paths.loggingSettings));
    EXPECT_EQ(fileBytes(paths.meterSettings), FactoryMeter);
    EXPECT_EQ(fileBytes(paths.advancedSettings), FactoryAdvanced);
    t.dialogs.shown.clear();
    MakeDefaultSettingsFiles(ctx);
    EXPECT_EQ(fileBytes(paths.loggingSettings), FactoryLogging);
    EXPECT_EQ(fileBytes(paths.cameraSettings), FactoryCamera);
    const QString publish = SettingsFilePath(ctx, PublishSettingsFile());
    EXPECT_EQ(fileBytes(publish), FactoryPublish);
    EXPECT_EQ(fileMode(publish), 0600);
    EXPECT_EQ(fileBytes(SettingsFilePath(ctx, TariffSettingsFile())), FactoryTariff);
    EXPECT_EQ(fileBytes(SettingsFilePath(ctx, RegisterSettingsFile())), FactoryRegister);
    ::chmod(QFile::encodeName(publish).constData(), 0644);
    EXPECT_EQ(SaveSettingsFile(ctx, PublishSettingsFile()), QString());
    EXPECT_EQ(fileMode(publish), 0600) << "narrowed again on saving";
    EXPECT_NE(fileMode(paths.meterSettings) & 0044, 0) << "the original files stay as they are";

    // Unreadable files fail their group with factory values.
    t.dialogs.shown.clear();
    EXPECT_TRUE(writeFileBytes(paths.meterSettings, "[Meter Settings 1]\r\nREVS_PER_KWH=75\r\nCOST_PER_KWH=12\r\n"));
    EXPECT_TRUE(writeFileBytes(paths.cameraSettings, withLine(FactoryCamera, "TRIGGER_LEVEL=5")));
    t.files.fail(FaultyFileIo::Op::Open, paths.meterSettings);
    t.files.fail(FaultyFileIo::Op::Read, paths.cameraSettings, 1);
    QFile::remove(paths.loggingSettings);
    t.files.fail(FaultyFileIo::Op::Open, SettingsFilePath(ctx, PublishSettingsFile()));
    ctx.settings = GlobalSettings{};
    const double before = t.clock.timer();
    const int opensBefore = t.files.attempts(FaultyFileIo::Op::Open, paths.meterSettings);
    LoadAllSettings(ctx);
    EXPECT_EQ(t.dialogs.texts(), QStringList({QStringLiteral("Failed to load meter settings"),
                                              QStringLiteral("Failed to load logging settings"),
                                              QStringLiteral("Failed to load camera settings"),
                                              QStringLiteral("Failed to load publish settings")}));
    EXPECT_EQ(ctx.settings, SettingsDefaults::factorySettings());
    EXPECT_EQ(t.files.attempts(FaultyFileIo::Op::Open, paths.meterSettings) - opensBefore, 3);
    EXPECT_GE(t.clock.timer() - before, 2 * 2 * 0.9); // two pauses of about a second for each file not opened
}

TEST_F(ConfigFilesTest, UnusualValuesSurviveSaveAndLoad)
{
    // Numbers in configuration files never take the locale's decimal comma.
    const QLocale previousDefault;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ctx.locale = QLocale(QLocale::German, QLocale::Germany);
    // Values in the order of the keys: meter, logging, advanced and camera files, each from a new line.
    // clang-format off
    const GlobalSettings written{0.0000001, 12345.678901234,
                                 60000,
                                 "10", "9,59", 100000000, 0, false, true, true, 1000, 1, 7, 999, " Euro, cents=€", "[kWh]",
                                 "#kW#", 0, 8, 2, 10, 1000000, 500,
                                 "0123 4567", false, true, false, 10, 0.001, false, 12, true, 1, true, 100000, 60000, 1,
                                 true, 10000,
                                 true, "broker.lan", 65535, "me", " p=ss [x]# ", true, "/etc/ca.pem", "home/power", "m-2",
                                 false, "ha", "EUR", 100, true, true, true, "0.0.0.0", 8081, "pbkdf2-sha256$1$c2FsdA==$x",
                                 true, "USB Cam; \"2\"", "640 x 480", "YUYV", "/tmp/a b.avi", 250, 1, 0, 50, 100, true,
                                 true, true, 0, 85, true, 12000, true, "-12.5",
                                 2, "Peak", "Off=peak", 0.25, "23:30-07:00, 13:00-16:00", true, true,
                                 "0.3,0.05,0.4,0.125", 9, 3, 1440};
    // clang-format on
    ctx.settings = written;
    EXPECT_EQ(SaveMeterSettings(ctx) + SaveLoggingSettings(ctx) + SaveAdvancedSettings(ctx) + SaveCameraSettings(ctx) +
                  SaveSettingsFile(ctx, PublishSettingsFile()) + SaveUnattendedSettings(ctx) +
                  SaveSettingsFile(ctx, DetectorSettingsFile()) + SaveSettingsFile(ctx, TariffSettingsFile()) +
                  SaveSettingsFile(ctx, RegisterSettingsFile()),
              QString());
    QLocale::setDefault(previousDefault);

    EXPECT_EQ(fileBytes(paths.meterSettings),
              QByteArray("[Meter Settings 1]\r\nREVS_PER_KWH=1E-07\r\nCOST_PER_KWH=12345.678901234\r\n\r\n"));

    ctx.settings = GlobalSettings{};
    LoadAllSettings(ctx);
    EXPECT_TRUE(t.dialogs.shown.empty());
    EXPECT_EQ(ctx.settings, written);
    EXPECT_EQ(ctx.strGlobalEndOfLine + '|' + ctx.strGlobalFieldDelimiter, QStringLiteral("\n|\t;"));
}

TEST(ConfigFilesRead, EachValueIsCheckedAgainstItsReadRangeAndAFailingOneGivesFactoryValues)
{
    const QString grid = SettingsDefaults::DefaultGrid;
    const std::pair<QByteArray, std::function<bool(const AppContext&)>> cases[] = {
        {"revs_per_kwh=7.5", [](auto& c) { return c.settings.REVS_PER_KWH == 7.5; }},
        {"COST_PER_KWH= 12.5 ", [](auto& c) { return c.settings.COST_PER_KWH == 12.5; }},
        {"COST_PER_KWH=1000000001", [](auto& c) { return c.settings.COST_PER_KWH == 5; }},
        {"COST_PER_KWH=7,5", [](auto& c) { return c.settings.COST_PER_KWH == 5; }},
        {"LOGGING_INTERVAL_SECONDS=29", [](auto& c) { return c.settings.LOGGING_INTERVAL_SECONDS == 300; }},
        {"LOGGING_INTERVAL_SECONDS=060000", [](auto& c) { return c.settings.LOGGING_INTERVAL_SECONDS == 300; }},
        {"LOGGING_INTERVAL_SECONDS=30.5", [](auto& c) { return c.settings.LOGGING_INTERVAL_SECONDS == 30; }},
        {"DATA_ARRAY_LENGTH=999", [](auto& c) { return c.settings.DATA_ARRAY_LENGTH == 10000; }},
        {"WRITE_ARRAY_TO_DISK= false ", [](auto& c) { return !c.settings.WRITE_ARRAY_TO_DISK; }},
        {"WRITE_LIVE_DATA_FILE=t", [](auto& c) { return c.settings.WRITE_LIVE_DATA_FILE; }},
        {"POWER_ROUNDING_PLACES=9", [](auto& c) { return c.settings.POWER_ROUNDING_PLACES == 4; }},
        {"TIMER_TICK_MILLISECONDS=9", [](auto& c) { return c.settings.TIMER_TICK_MILLISECONDS == 200; }},
        {"CURRENCY_TITLE=abcdefghijklmnopqrstuvwxy",
         [](auto& c) { return c.settings.CURRENCY_TITLE == "abcdefghijklmnopqrst"; }},
        {"POWER_TITLE= k W ", [](auto& c) { return c.settings.POWER_TITLE == " k W "; }},
        {"END_OF_LINE_CHARACTERS=abc",
         [](auto& c) { return c.settings.END_OF_LINE_CHARACTERS == "abc" && c.strGlobalEndOfLine == "\r\n"; }},
        {"PERCENT_AMBIENT_LIGHT_TO_TRACK=500",
         [](auto& c) { return c.settings.PERCENT_AMBIENT_LIGHT_TO_TRACK == 500; }},
        {"DETECT_RED=no", [](auto& c) { return c.settings.DETECT_RED; }},
        {"DETECT_RED=f", [](auto& c) { return !c.settings.DETECT_RED; }},
        {"REDUCE_VIDEO_NOISE=", [](auto& c) { return c.settings.REDUCE_VIDEO_NOISE; }},
        {"VIDEO_SIZE=13", [](auto& c) { return c.settings.VIDEO_SIZE == 5; }},
        {"FRAME_RATE=0.0009", [](auto& c) { return c.settings.FRAME_RATE == 25; }},
        {"DETECTION_GRID=  12 34  ", [](auto& c) { return c.settings.DETECTION_GRID == "12 34"; }},
        {"DETECTION_GRID=   ", [&grid](auto& c) { return c.settings.DETECTION_GRID == grid; }},
    };
    for (const auto& [line, holds] : cases) {
        SCOPED_TRACE(line.constData());
        TestContext t;
        EXPECT_TRUE(loadWith(t, {line}) && holds(t.ctx));
    }

    // Non-factory values before and after the failing key show which keys were still read from the file.
    TestContext t;
    EXPECT_FALSE(loadWith(t, {"FILE_WRITE_TRIES=7", "FILE_READ_TRIES=9", "FILE_WRITE_DELAY_TENTHS=40000"}));
    // 40000 does not fit the 16-bit delay key.
    EXPECT_EQ(std::tuple(t.ctx.settings.FILE_WRITE_TRIES, t.ctx.settings.FILE_WRITE_DELAY_TENTHS,
                         t.ctx.settings.FILE_READ_TRIES, t.ctx.settings.TIMER_TICK_MILLISECONDS),
              std::tuple(7, 10, 3, 200));

    EXPECT_FALSE(loadWith(t, {"DETECT_RED=false", "DEBOUNCE_TIME=40", "TRIGGER_LEVEL=1E20"}));
    EXPECT_EQ(std::tuple(t.ctx.settings.DETECT_RED, t.ctx.settings.TRIGGER_LEVEL, t.ctx.settings.DEBOUNCE_TIME),
              std::tuple(false, 1000, 300));

    EXPECT_FALSE(loadWith(t, {"FIELD_DELIMITER=9", "END_OF_LINE_CHARACTERS=13,,10"}));
    EXPECT_EQ(t.ctx.settings.END_OF_LINE_CHARACTERS + '|' + t.ctx.settings.FIELD_DELIMITER + '|' +
                  t.ctx.strGlobalFieldDelimiter,
              "13,10|44|,");

    // A bad publish or tariff value fails the group, but only that key takes its factory value; the others, before
    // and after it, are still read.
    const std::tuple<const SettingsFile*, QByteArray, std::function<bool(const GlobalSettings&)>> groupCases[] = {
        {&PublishSettingsFile(), "PUBLISH_MQTT=yes", [](auto& s) { return !s.PUBLISH_MQTT; }},
        {&PublishSettingsFile(), "MQTT_HOST=", [](auto& s) { return s.MQTT_HOST == "localhost"; }},
        {&PublishSettingsFile(), "MQTT_PORT=0", [](auto& s) { return s.MQTT_PORT == 1883; }},
        {&PublishSettingsFile(), "MQTT_BASE_TOPIC=a/#", [](auto& s) { return s.MQTT_BASE_TOPIC == "wattsight"; }},
        {&PublishSettingsFile(), "METER_ID=meter 1", [](auto& s) { return s.METER_ID == "meter1"; }},
        {&PublishSettingsFile(), "CURRENCY_CODE=eur", [](auto& s) { return s.CURRENCY_CODE.isEmpty(); }},
        {&PublishSettingsFile(), "PRICE_UNITS_PER_CURRENCY_UNIT=0",
         [](auto& s) { return s.PRICE_UNITS_PER_CURRENCY_UNIT == 1; }},
        {&TariffSettingsFile(), "TARIFF_COUNT=3", [](auto& s) { return s.TARIFF_COUNT == 1; }},
        {&TariffSettingsFile(), "TARIFF_2_COST_PER_KWH=0", [](auto& s) { return s.TARIFF_2_COST_PER_KWH == 5; }},
        {&TariffSettingsFile(), "TARIFF_2_HOURS=22:00-06:00,25:00-26:00",
         [](auto& s) { return s.TARIFF_2_HOURS == "22:00-06:00"; }},
    };
    for (const auto& [group, line, holds] : groupCases) {
        SCOPED_TRACE(line.constData());
        const bool tariff = group == &TariffSettingsFile();
        const QByteArray file = tariff
                                    ? withLine(withLine(FactoryTariff, "TARIFF_1_NAME=Peak"), "TARIFF_FROM_MQTT=true")
                                    : withLine(withLine(FactoryPublish, "MQTT_PASSWORD=kept"), "DISCOVERY_PREFIX=ha");
        EXPECT_TRUE(writeFileBytes(SettingsFilePath(t.ctx, *group), withLine(file, line)));
        t.ctx.settings = GlobalSettings{};
        EXPECT_FALSE(LoadSettingsFile(t.ctx, *group));
        EXPECT_TRUE(holds(t.ctx.settings));
        const GlobalSettings& s = t.ctx.settings;
        EXPECT_TRUE(tariff ? s.TARIFF_1_NAME == "Peak" && s.TARIFF_FROM_MQTT
                           : s.MQTT_PASSWORD == "kept" && s.DISCOVERY_PREFIX == "ha");
    }

    // Keys a later version added are missing from a file an earlier one wrote: their factory values, no failure.
    t.ctx.settings = GlobalSettings{};
    t.ctx.settings.PUBLISH_PICTURE = true;
    EXPECT_TRUE(writeFileBytes(SettingsFilePath(t.ctx, PublishSettingsFile()), "[Topics]\r\nMETER_ID=cellar\r\n"));
    EXPECT_TRUE(LoadSettingsFile(t.ctx, PublishSettingsFile()));
    EXPECT_EQ(std::tuple(t.ctx.settings.METER_ID, t.ctx.settings.MQTT_PORT, t.ctx.settings.MQTT_HOST,
                         t.ctx.settings.PUBLISH_PICTURE, t.ctx.settings.WEB_PAGE, t.ctx.settings.WEB_ADDRESS,
                         t.ctx.settings.WEB_PORT),
              std::tuple(QStringLiteral("cellar"), 1883, QStringLiteral("localhost"), false, false,
                         QStringLiteral("127.0.0.1"), 8080));
}

TEST_F(ConfigFilesTest, ABadRegisterValueIsReportedAndTakesItsFactoryValueAndTooManyDecimalsAreClampedInUse)
{
    MakeDefaultSettingsFiles(ctx);
    const QString path = SettingsFilePath(ctx, RegisterSettingsFile());
    const QByteArray good =
        withLine(withLine(FactoryRegister, "REGISTER_REGION= 0.1, 0.2,0.5,0.25"), "REGISTER_CHECK_MINUTES=30");
    const std::tuple<QByteArray, QString, qint32, qint32, qint32> cases[] = {
        {"REGISTER_REGION=0.6,0.1,0.5,0.1", "", 6, 1, 30},
        {"REGISTER_REGION=0,5;0,1;0,2;0,1", "", 6, 1, 30},
        {"REGISTER_DIGITS=10", " 0.1, 0.2,0.5,0.25", 6, 1, 30},
        {"REGISTER_DECIMALS=-1", " 0.1, 0.2,0.5,0.25", 6, 1, 30},
        {"REGISTER_CHECK_MINUTES=1441", " 0.1, 0.2,0.5,0.25", 6, 1, 10},
    };
    for (const auto& [line, region, digits, decimals, minutes] : cases) {
        SCOPED_TRACE(line.constData());
        ASSERT_TRUE(writeFileBytes(path, withLine(good, line)));
        t.dialogs.shown.clear();
        LoadAllSettings(ctx);
        EXPECT_EQ(t.dialogs.texts(), QStringList{QStringLiteral("Failed to load register settings")});
        const GlobalSettings& s = ctx.settings;
        EXPECT_EQ(std::tuple(s.REGISTER_REGION, s.REGISTER_DIGITS, s.REGISTER_DECIMALS, s.REGISTER_CHECK_MINUTES),
                  std::tuple(region, digits, decimals, minutes));
    }

    // Each key is in range, but together they leave no wheel before the point.
    ASSERT_TRUE(writeFileBytes(path, withLine(withLine(good, "REGISTER_DIGITS=2"), "REGISTER_DECIMALS=3")));
    EXPECT_TRUE(LoadSettingsFile(ctx, RegisterSettingsFile()));
    EXPECT_EQ(RegisterRules::decimalsInUse(ctx.settings), 1);
    ctx.settings.REGISTER_DIGITS = 1;
    EXPECT_EQ(RegisterRules::decimalsInUse(ctx.settings), 0);
}

TEST_F(ConfigFilesTest, WriterRetriesReportsAFailedCloseAndStopsAtTheEndMarkerOrAfterAHundredLines)
{
    const QString path = paths.meterSettings;
    const QStringList lines = MeterSettingsLines(SettingsDefaults::factorySettings());
    t.files.fail(FaultyFileIo::Op::Open, path, 2);
    t.files.fail(FaultyFileIo::Op::Write, path, 2);
    EXPECT_EQ(write_settings_file(ctx, path, lines), QString());
    EXPECT_EQ(fileBytes(path), FactoryMeter);
    t.files.fail(FaultyFileIo::Op::Close, path, 1);
    EXPECT_EQ(write_settings_file(ctx, path, lines), QStringLiteral("Couldn't close the file\r\n"));

    EXPECT_EQ(write_settings_file(ctx, path, {QStringLiteral("a"), QString(), SettingsEndMarker, QStringLiteral("b")}),
              QString());
    EXPECT_EQ(fileBytes(path), QByteArray("a\r\n\r\n"));
    QStringList many;
    for (int i = 1; i <= 150; ++i)
        many << QString::number(i);
    EXPECT_EQ(write_settings_file(ctx, path, many), QString());
    const QByteArray bytes = fileBytes(path);
    EXPECT_TRUE(bytes.count("\r\n") == 100 && bytes.endsWith("\r\n100\r\n"));
}

// The man page's FILES section names every file the program keeps in its data folder.
TEST(ManPage, NamesEveryFileOfTheDataFolder)
{
    const QString text = QString::fromUtf8(fileBytes(QStringLiteral(WATTSIGHT_MAN_PAGE)));
    const FilePaths paths = BuildFilePaths(QStringLiteral("/data"));
    QStringList names;
    for (QString FilePaths::*file :
         {&FilePaths::meterSettings, &FilePaths::loggingSettings, &FilePaths::advancedSettings,
          &FilePaths::cameraSettings, &FilePaths::dataStore, &FilePaths::diffLog, &FilePaths::diffLogCtl,
          &FilePaths::liveData, &FilePaths::liveDataCtl, &FilePaths::loggingRun, &FilePaths::tariffState})
        names << QFileInfo(paths.*file).fileName();
    for (const SettingsFile* file : ExtraSettingsFiles())
        names << QString::fromLatin1(file->fileName);
    for (const QString& name : names)
        EXPECT_TRUE(text.contains(name)) << name.toStdString();
}

TEST(CodesToText, DecodesCodeListsAndFallsBackToTheDefault)
{
    const std::tuple<const char*, const char*, QString, bool> cases[] = {
        {" 59 ", "44", QStringLiteral(";"), true},
        {"13, 10", "44", QStringLiteral(","), true}, // "13 10" is no number, so the default applies
        {"256,10", "13,10", QStringLiteral("\n"), true},
        {"-1,65", "44", QStringLiteral("A"), true},
        {"2.5", "44", QString(QChar(2)), true}, // halves to even
        {"13,10,", "44", QStringLiteral("\r\n"), true},
        {",65", "44", QStringLiteral("A"), false},
        {"1,e5", "44", QString(QChar(1)), false},
    };
    for (const auto& [codes, defaults, text, valid] : cases) {
        bool ok = !valid;
        EXPECT_EQ(CodesToText(QLatin1String(codes), QLatin1String(defaults), &ok), text) << codes;
        EXPECT_EQ(ok, valid) << codes;
    }
}

} // namespace
