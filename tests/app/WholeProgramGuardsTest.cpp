// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WholeProgramGuards.h"

#include "app/PublishSettings.h"
#include "app/SettingsFile.h"
#include "support/TestContext.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

using Op = WholeProgramOperation;

TEST(WholeProgramGuard, RefusesWhileSomethingRunsCheckingCameraThenLoggingThenTripThenAsksAndSaveAllReportsEachFile)
{
    TestContext t;
    t.ctx.blnGlobalCameraRunning = t.ctx.blnGlobalLoggingRunning = t.ctx.blnGlobalTripRunning = true;
    for (bool* stops : {&t.ctx.blnGlobalCameraRunning, &t.ctx.blnGlobalLoggingRunning, &t.ctx.blnGlobalTripRunning}) {
        EXPECT_FALSE(ConfirmWholeProgramOperation(t.ctx, Op::SaveAllSettings));
        *stops = false;
    }
    t.ctx.blnGlobalTripRunning = true;
    EXPECT_FALSE(ConfirmWholeProgramOperation(t.ctx, Op::LoadFactoryDefaults));
    t.ctx.blnGlobalTripRunning = false;
    EXPECT_EQ(t.dialogs.texts(),
              (QStringList{"Please stop the camera before trying to save settings",
                           "You are currently logging data. Please stop this before trying to save settings",
                           "You are currently running a trip display. Please stop this before trying to save settings",
                           "You are currently running a trip display. Please stop this before trying to load the "
                           "factory defaults"}));
    EXPECT_TRUE(t.dialogs.shown[0].buttons == Dialogs::Buttons::Ok && t.dialogs.shown[0].title.isEmpty());

    const std::pair<Op, const char*> questions[] = {
        {Op::Exit, "Are you sure you wish to close the application"},
        {Op::LoadFactoryDefaults, "Are you sure you wish to reset all settings to their factory defaults?"},
        {Op::SaveAllSettings, "Are you sure you wish to save all settings to disk?"},
    };
    for (const auto& [op, question] : questions) {
        t.dialogs.shown.clear();
        t.dialogs.setNextAnswer(Dialogs::Answer::No);
        EXPECT_TRUE(!ConfirmWholeProgramOperation(t.ctx, op) && ConfirmWholeProgramOperation(t.ctx, op));
        EXPECT_EQ(t.dialogs.texts(), QStringList(2, QString::fromLatin1(question)));
        EXPECT_EQ(t.dialogs.shown[0].buttons, Dialogs::Buttons::YesNo);
    }

    // Saving all settings: each failing file gets its own message, in order, and the others are still saved.
    t.dialogs.shown.clear();
    const FilePaths& paths = t.ctx.paths;
    for (const QString& p : {paths.cameraSettings, paths.loggingSettings, paths.advancedSettings,
                             SettingsFilePath(t.ctx, PublishSettingsFile())})
        t.files.fail(FaultyFileIo::Op::Open, p);
    SaveAllSettingsFiles(t.ctx);
    QStringList expected;
    for (const char* group : {"camera", "logging", "advanced", "publish"})
        expected << QStringLiteral("Problem saving %1 settings: Couldn't open the file for writing\r\n").arg(group);
    EXPECT_EQ(t.dialogs.texts(), expected);
    EXPECT_EQ(t.dialogs.shown[0].icon, Dialogs::Icon::Exclamation);
    EXPECT_TRUE(QFile::exists(paths.meterSettings)) << "saved after a failing file";
    EXPECT_FALSE(QFile::exists(paths.cameraSettings));
}

} // namespace
