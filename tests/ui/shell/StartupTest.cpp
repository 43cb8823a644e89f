// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestContext.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/SplashForm.h"
#include "ui/shell/WattsightApp.h"

#include <QFile>
#include <QMenu>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

// Services of a test run with an empty working folder of its own.
struct StartFixture : TestContext
{
    static WattsightApp::Options options(bool debugMenu = false)
    {
        return WattsightApp::Options{debugMenu, QStringLiteral(WATTSIGHT_HELP_SOURCE_DIR)};
    }
    Services services() { return Services{clock, pump, dialogs, files}; }
};

struct FailingStart : WattsightApp
{
    using WattsightApp::WattsightApp;
    void prepareMetering() override { throw std::runtime_error("Not enough memory for the data array"); }
};

TEST(Startup, FirstStartInAnEmptyFolderCreatesTheFourFilesSilently)
{
    StartFixture f;
    WattsightApp app(f.services(), f.dir.path(), f.options());
    const double started = f.clock.timer();
    bool windowShownDuringPause = false, splashShownDuringPause = false;
    f.pump.onEvents = [&] {
        windowShownDuringPause |= app.window().isVisible();
        splashShownDuringPause |= app.splash() && app.splash()->isVisible();
    };

    ASSERT_TRUE(app.Main());
    f.pump.onEvents = nullptr;

    EXPECT_TRUE(f.dialogs.shown.empty()) << f.dialogs.texts().join(" | ").toStdString();
    for (const char* name : {"METERSETTINGS.CFG", "LOGSETTINGS.CFG", "ADVANCEDSETTINGS.CFG", "CAMERASETTINGS.CFG"})
        EXPECT_TRUE(QFile::exists(f.path(QString::fromLatin1(name)))) << name;
    EXPECT_EQ(app.context().settings, SettingsDefaults::factorySettings());

    // About four seconds of splash before the main window, which the splash outlives.
    EXPECT_NEAR(f.clock.timer() - started, 4.0, 0.1);
    EXPECT_TRUE(splashShownDuringPause && !windowShownDuringPause);
    EXPECT_TRUE(app.window().isVisible() && app.splash() && app.splash()->isVisible());
}

TEST(Startup, ExistingFilesAreReadUnreadableOnesAreReportedOrNotedWhenUnattendedAndTheDebugMenuFollowsItsSwitch)
{
    // Test builds switch it on; the option's default must follow the build switch, not a literal.
    EXPECT_EQ(WattsightApp::Options{}.debugMenu, DebugMenuBuildSwitch);
    // With an unreadable meter file the unattended file is unreadable too; its start-up option makes the
    // messages notices that wait for no one.
    for (auto [unreadable, unattended] : {std::pair{false, false}, {true, false}, {true, true}}) {
        SCOPED_TRACE(QStringLiteral("%1 %2").arg(unreadable).arg(unattended).toStdString());
        StartFixture f;
        const QString meter = f.path(QStringLiteral("METERSETTINGS.CFG"));
        ASSERT_TRUE(writeFileBytes(meter, "[Meter Settings 1]\r\nREVS_PER_KWH=750\r\nCOST_PER_KWH=12.5\r\n\r\n"));
        if (unreadable) {
            f.files.fail(FaultyFileIo::Op::Open, meter);
            ASSERT_TRUE(writeFileBytes(
                f.path(QStringLiteral("UNATTENDEDSETTINGS.CFG")),
                "[Start-up]\r\nRESUME_LOGGING_AFTER_RESTART=" + QByteArray(unattended ? "true" : "false") +
                    "\r\n[Watchdog]\r\nSTALLED_CAMERA_SECONDS=ten\r\n"));
        }
        WattsightApp app(f.services(), f.dir.path(), f.options(unreadable));
        ASSERT_TRUE(app.Main());
        const QStringList failures =
            unreadable ? QStringList{"Failed to load meter settings", "Failed to load unattended settings"}
                       : QStringList();
        EXPECT_EQ(f.dialogs.texts(), unattended ? QStringList() : failures);
        EXPECT_EQ(f.dialogs.notices, unattended ? failures : QStringList());
        EXPECT_EQ(std::tuple(app.context().pulse.dblGlobalWkgRevsPerKWH, app.context().pulse.dblGlobalWkgCostPerKWH),
                  unreadable ? std::tuple(300.0, 5.0) : std::tuple(750.0, 12.5));
        EXPECT_TRUE(app.window().isVisible());
        QMenu* debug = app.window().findChild<QMenu*>(QStringLiteral("DebuggingMenu"));
        ASSERT_NE(debug, nullptr);
        EXPECT_EQ(debug->menuAction()->isVisible() && debug->menuAction()->isEnabled(), unreadable);
    }
}

TEST(Startup, AnErrorInTheSequenceIsFatalWithTheStageNumber)
{
    StartFixture f;
    FailingStart app(f.services(), f.dir.path(), f.options());
    EXPECT_FALSE(app.Main());
    EXPECT_EQ(f.dialogs.texts(),
              QStringList{"Unexpected Fatal Error stage 1:\r\nNot enough memory for the data array"});
    EXPECT_FALSE(app.window().isVisible());
}

} // namespace
