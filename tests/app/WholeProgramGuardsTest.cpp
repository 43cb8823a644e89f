// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WholeProgramGuards.h"

#include "support/TestContext.h"

#include <gtest/gtest.h>

namespace {

using Op = WholeProgramOperation;
enum class Running
{
    Camera,
    Logging,
    Trip
};

struct GuardCase
{
    Op op;
    Running running;
    const char* refusal;
};

void setRunning(AppContext& ctx, Running r)
{
    ctx.blnGlobalCameraRunning = r == Running::Camera;
    ctx.blnGlobalLoggingRunning = r == Running::Logging;
    ctx.blnGlobalTripRunning = r == Running::Trip;
}

class GuardRefusal : public ::testing::TestWithParam<GuardCase>
{
};

TEST_P(GuardRefusal, ShowsOnlyTheRefusalWithOk)
{
    TestContext t;
    setRunning(t.ctx, GetParam().running);
    EXPECT_FALSE(ConfirmWholeProgramOperation(t.ctx, GetParam().op));
    ASSERT_EQ(t.dialogs.shown.size(), 1u);
    EXPECT_EQ(t.dialogs.shown[0].text, QString::fromLatin1(GetParam().refusal));
    EXPECT_EQ(t.dialogs.shown[0].buttons, Dialogs::Buttons::Ok);
    EXPECT_TRUE(t.dialogs.shown[0].title.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    AllOperations, GuardRefusal,
    ::testing::Values(
        GuardCase{Op::Exit, Running::Camera, "Please stop the camera before trying to exit this application"},
        GuardCase{Op::Exit, Running::Logging,
                  "You are currently logging data. Please stop this before trying to exit this application"},
        GuardCase{Op::Exit, Running::Trip,
                  "You are currently running a trip display. Please stop this before trying to exit this application"},
        GuardCase{Op::LoadFactoryDefaults, Running::Camera,
                  "Please stop the camera before trying to load the factory defaults"},
        GuardCase{Op::LoadFactoryDefaults, Running::Logging,
                  "You are currently logging data. Please stop this before trying to load the factory defaults"},
        GuardCase{Op::LoadFactoryDefaults, Running::Trip,
                  "You are currently running a trip display. Please stop this before trying to load the factory "
                  "defaults"},
        GuardCase{Op::SaveAllSettings, Running::Camera, "Please stop the camera before trying to save settings"},
        GuardCase{Op::SaveAllSettings, Running::Logging,
                  "You are currently logging data. Please stop this before trying to save settings"},
        GuardCase{Op::SaveAllSettings, Running::Trip,
                  "You are currently running a trip display. Please stop this before trying to save settings"}));

TEST(WholeProgramGuard, ChecksCameraThenLoggingThenTrip)
{
    TestContext t;
    t.ctx.blnGlobalCameraRunning = t.ctx.blnGlobalLoggingRunning = t.ctx.blnGlobalTripRunning = true;
    EXPECT_FALSE(ConfirmWholeProgramOperation(t.ctx, Op::Exit));
    t.ctx.blnGlobalCameraRunning = false;
    EXPECT_FALSE(ConfirmWholeProgramOperation(t.ctx, Op::Exit));
    ASSERT_EQ(t.dialogs.shown.size(), 2u);
    EXPECT_TRUE(t.dialogs.shown[0].text.contains(QLatin1String("stop the camera")));
    EXPECT_TRUE(t.dialogs.shown[1].text.contains(QLatin1String("logging data")));
}

TEST(WholeProgramGuard, AsksTheQuestionAndHonoursTheAnswer)
{
    const std::pair<Op, const char*> questions[] = {
        {Op::Exit, "Are you sure you wish to close the application"},
        {Op::LoadFactoryDefaults, "Are you sure you wish to reset all settings to their factory defaults?"},
        {Op::SaveAllSettings, "Are you sure you wish to save all settings to disk?"},
    };
    for (const auto& [op, question] : questions) {
        TestContext t;
        t.dialogs.setNextAnswer(Dialogs::Answer::No);
        t.dialogs.setNextAnswer(Dialogs::Answer::Yes);
        EXPECT_FALSE(ConfirmWholeProgramOperation(t.ctx, op));
        EXPECT_TRUE(ConfirmWholeProgramOperation(t.ctx, op));
        ASSERT_EQ(t.dialogs.shown.size(), 2u);
        for (const auto& shown : t.dialogs.shown) {
            EXPECT_EQ(shown.text, QString::fromLatin1(question));
            EXPECT_EQ(shown.buttons, Dialogs::Buttons::YesNo);
        }
    }
}

TEST(LoadAllFactoryDefaults, ResetsEveryGroupButNotTheDecodedStrings)
{
    TestContext t;
    GlobalSettings& s = t.ctx.settings;
    s.REVS_PER_KWH = 7.5;
    s.COST_PER_KWH = 12;
    s.LOGGING_INTERVAL_SECONDS = 60;
    s.FIELD_DELIMITER = QStringLiteral("9");
    s.CURRENCY_TITLE = QStringLiteral("Cents");
    s.TRIGGER_LEVEL = 5;
    s.DETECTION_GRID = QStringLiteral("1");
    t.ctx.strGlobalFieldDelimiter = QStringLiteral("\t");
    LoadAllFactoryDefaults(s);
    EXPECT_EQ(s, SettingsDefaults::factorySettings());
    EXPECT_EQ(t.ctx.strGlobalFieldDelimiter, QStringLiteral("\t"));
}

// Remembers the order in which files are opened for writing.
class RecordingFileIo : public FaultyFileIo
{
public:
    std::unique_ptr<FileHandle> open(const QString& path, Mode mode, Commit commit) override
    {
        if (mode != Mode::Read)
            opened.push_back(path);
        return FaultyFileIo::open(path, mode, commit);
    }
    QStringList opened;
};

struct SaveFixture
{
    FakeClock clock;
    FakePump pump{clock};
    ScriptedDialogs dialogs;
    RecordingFileIo files;
    QTemporaryDir dir;
    AppContext ctx{Services{clock, pump, dialogs, files}};

    SaveFixture()
    {
        ctx.settings = SettingsDefaults::factorySettings();
        ctx.paths = BuildFilePaths(dir.path());
    }
};

TEST(SaveAllSettingsFiles, WritesCameraLoggingMeterAdvancedInThatOrder)
{
    SaveFixture f;
    SaveAllSettingsFiles(f.ctx);
    EXPECT_TRUE(f.dialogs.shown.empty());
    QStringList unique;
    for (const QString& p : f.files.opened)
        if (!unique.contains(p))
            unique.push_back(p);
    EXPECT_EQ(unique, (QStringList{f.ctx.paths.cameraSettings, f.ctx.paths.loggingSettings, f.ctx.paths.meterSettings,
                                   f.ctx.paths.advancedSettings}));
}

TEST(SaveAllSettingsFiles, OneFailingFileStillSavesTheOthersWithOneMessage)
{
    SaveFixture f;
    f.files.fail(FaultyFileIo::Op::Open, f.ctx.paths.cameraSettings);
    SaveAllSettingsFiles(f.ctx);
    ASSERT_EQ(f.dialogs.shown.size(), 1u);
    EXPECT_EQ(f.dialogs.shown[0].text,
              QStringLiteral("Problem saving camera settings: Couldn't open the file for writing\r\n"));
    EXPECT_EQ(f.dialogs.shown[0].icon, Dialogs::Icon::Exclamation);
    EXPECT_EQ(f.dialogs.shown[0].buttons, Dialogs::Buttons::Ok);
    EXPECT_FALSE(QFile::exists(f.ctx.paths.cameraSettings));
    for (const QString& p : {f.ctx.paths.loggingSettings, f.ctx.paths.meterSettings, f.ctx.paths.advancedSettings})
        EXPECT_TRUE(QFile::exists(p)) << p.toStdString();
}

TEST(SaveAllSettingsFiles, EachFailureGetsItsOwnPrefix)
{
    SaveFixture f;
    f.files.fail(FaultyFileIo::Op::Open, f.ctx.paths.loggingSettings);
    f.files.fail(FaultyFileIo::Op::Open, f.ctx.paths.advancedSettings);
    SaveAllSettingsFiles(f.ctx);
    ASSERT_EQ(f.dialogs.texts().size(), 2);
    EXPECT_TRUE(f.dialogs.texts()[0].startsWith(QLatin1String("Problem saving logging settings: ")));
    EXPECT_TRUE(f.dialogs.texts()[1].startsWith(QLatin1String("Problem saving advanced settings: ")));
}

} // namespace
