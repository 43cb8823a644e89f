// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WholeProgramGuards.h"

#include "app/PublishSettings.h"
#include "app/SettingsFile.h"
#include "support/TestContext.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

using Op = WholeProgramOperation;

TEST(WholeProgramGuard, RefusesWhileSomethingRunsCheckingCameraThenLoggingThenTrip)
{
    TestContext t;
    t.ctx.blnGlobalCameraRunning = t.ctx.blnGlobalLoggingRunning = t.ctx.blnGlobalTripRunning = true;
    EXPECT_FALSE(ConfirmWholeProgramOperation(t.ctx, Op::SaveAllSettings));
    t.ctx.blnGlobalCameraRunning = false;
    EXPECT_FALSE(ConfirmWholeProgramOperation(t.ctx, Op::SaveAllSettings));
    t.ctx.blnGlobalLoggingRunning = false;
    EXPECT_FALSE(ConfirmWholeProgramOperation(t.ctx, Op::SaveAllSettings));
    EXPECT_FALSE(ConfirmWholeProgramOperation(t.ctx, Op::LoadFactoryDefaults));
    EXPECT_EQ(t.dialogs.texts(),
              (QStringList{"Please stop the camera before trying to save settings",
                           "You are currently logging data. Please stop this before trying to save settings",
                           "You are currently running a trip display. Please stop this before trying to save settings",
                           "You are currently running a trip display. Please stop this before trying to load the "
                           "factory defaults"}));
    for (const auto& shown : t.dialogs.shown) {
        EXPECT_EQ(shown.buttons, Dialogs::Buttons::Ok);
        EXPECT_TRUE(shown.title.isEmpty());
    }
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

TEST(LoadAllFactoryDefaults, ResetsEveryGroup)
{
    GlobalSettings s = SettingsDefaults::factorySettings();
    s.REVS_PER_KWH = 7.5;
    s.LOGGING_INTERVAL_SECONDS = 60;
    s.CURRENCY_TITLE = QStringLiteral("Cents");
    s.TRIGGER_LEVEL = 5;
    s.MQTT_PORT = 8883;
    LoadAllFactoryDefaults(s);
    EXPECT_EQ(s, SettingsDefaults::factorySettings());
}

TEST(SaveAllSettingsFiles, EachFailingFileGetsItsOwnMessageInOrderAndTheOthersAreStillSaved)
{
    TestContext t;
    const FilePaths& paths = t.ctx.paths;
    for (const QString& p : {paths.cameraSettings, paths.loggingSettings, paths.advancedSettings,
                             SettingsFilePath(t.ctx, PublishSettingsFile())})
        t.files.fail(FaultyFileIo::Op::Open, p);
    SaveAllSettingsFiles(t.ctx);
    const QString cause = QStringLiteral("Couldn't open the file for writing\r\n");
    EXPECT_EQ(t.dialogs.texts(), (QStringList{QStringLiteral("Problem saving camera settings: ") + cause,
                                              QStringLiteral("Problem saving logging settings: ") + cause,
                                              QStringLiteral("Problem saving advanced settings: ") + cause,
                                              QStringLiteral("Problem saving publish settings: ") + cause}));
    EXPECT_EQ(t.dialogs.shown[0].icon, Dialogs::Icon::Exclamation);
    EXPECT_EQ(t.dialogs.shown[0].buttons, Dialogs::Buttons::Ok);
    EXPECT_TRUE(QFile::exists(paths.meterSettings)) << "saved after a failing file";
    EXPECT_FALSE(QFile::exists(paths.cameraSettings));
}

} // namespace
