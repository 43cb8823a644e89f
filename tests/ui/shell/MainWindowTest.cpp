// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/MainWindow.h"

#include "support/TestContext.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTextBrowser>
#include <gtest/gtest.h>
#include <set>

namespace {

struct WindowFixture
{
    TestContext t;
    MainWindow window{t.ctx, QStringLiteral(WATTSIGHT_HELP_SOURCE_DIR)};
    int ended = 0;

    WindowFixture()
    {
        window.endProcess = [this] { ++ended; };
        window.show();
    }
    void trigger(MenuItem item) { window.action(item)->trigger(); }
};

TEST(MainWindowMenus, NamesAndCaptionsInOrder)
{
    const std::vector<std::pair<QString, QStringList>> expected = {
        {"FileMenu|File",
         {"LoadFactoryDefaults|Load Factory Defaults", "SaveAllSettings|Save All Settings",
          "LoadPreviousRunData|Load Previous Run Data", "ExitMenu|Exit"}},
        {"ViewMenu|View",
         {"EnergyLoggingForm|Energy Logging Screen", "EnergyTripForm|Energy Trip Screen",
          "DisplayEnergyHistoryGraph|Display Energy History Graph"}},
        {"ToolsMenu|Tools", {"ExportData|Export Data", "ImportData|Import Data"}},
        {"SetupMenu|Setup",
         {"CameraSetup|Camera Setup", "EnergyMeterSetup|Energy Meter Setup", "DataLoggingSetup|Data Logging Setup",
          "AdvancedSettings|Advanced Settings", "UnattendedOperation|Unattended Operation"}},
        {"HelpMenu|Help", {"HelpContents|Help (Contents)", "About|About Wattsight"}},
        {"DebuggingMenu|Debug",
         {"PulseSimulator|Pulse Simulator", "FillArray|Fill Array",
          "ViewLoggingScreenVariables|View logging screen variables",
          "TripScreenVariables|View trip screen variables"}},
    };
    WindowFixture f;
    const QList<QAction*> menus = f.window.menuBar()->actions();
    ASSERT_EQ(menus.size(), static_cast<qsizetype>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        QMenu* menu = menus[static_cast<qsizetype>(i)]->menu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->objectName() + "|" + menu->title(), expected[i].first);
        QStringList items;
        for (QAction* a : menu->actions())
            items << a->objectName() + "|" + a->text();
        EXPECT_EQ(items, expected[i].second);
    }
}

TEST(MainWindowMenus, OnlyItemsWithAScreenAreEnabled)
{
    WindowFixture f;
    const std::set<MenuItem> own = {MenuItem::LoadFactoryDefaults, MenuItem::SaveAllSettings, MenuItem::ExitMenu,
                                    MenuItem::HelpContents, MenuItem::About};
    for (int i = 0; i <= static_cast<int>(MenuItem::TripScreenVariables); ++i) {
        const auto item = static_cast<MenuItem>(i);
        EXPECT_EQ(f.window.action(item)->isEnabled(), own.count(item) == 1)
            << f.window.action(item)->objectName().toStdString();
    }
    f.window.addModelessScreen(MenuItem::CameraSetup, [] { return new QWidget; });
    EXPECT_TRUE(f.window.action(MenuItem::CameraSetup)->isEnabled());
}

TEST(MainWindowExit, WindowCloseAndExitMenuRunTheExitGuard)
{
    WindowFixture f;
    f.t.ctx.blnGlobalLoggingRunning = true;
    EXPECT_FALSE(f.window.close());
    f.t.ctx.blnGlobalLoggingRunning = false;
    f.t.ctx.blnGlobalCameraRunning = true;
    f.trigger(MenuItem::ExitMenu);
    f.t.ctx.blnGlobalCameraRunning = false;
    EXPECT_EQ(f.t.dialogs.texts(),
              QStringList({"You are currently logging data. Please stop this before trying to exit this application",
                           "Please stop the camera before trying to exit this application"}));

    f.t.dialogs.setNextAnswer(Dialogs::Answer::No);
    EXPECT_FALSE(f.window.close());
    f.t.dialogs.setNextAnswer(Dialogs::Answer::No);
    f.trigger(MenuItem::ExitMenu);
    EXPECT_TRUE(f.window.isVisible());
    EXPECT_EQ(f.ended, 0);
    EXPECT_EQ(f.t.dialogs.texts().last(), "Are you sure you wish to close the application");

    EXPECT_TRUE(f.window.close());
    EXPECT_EQ(f.ended, 1);
    f.trigger(MenuItem::ExitMenu);
    EXPECT_EQ(f.ended, 2);
}

TEST(MainWindowSettingsFiles, FactoryDefaultsCloseSetupScreensAndResetMemoryAndSaveAllWritesFourFilesAfterYes)
{
    WindowFixture f;
    const auto named = [](const char* name, QWidget* parent = nullptr) {
        auto* w = new QWidget(parent, parent ? Qt::Window : Qt::Widget);
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    QWidget* meterSetup = named("EnergyMeterSetupForm");
    QPointer<QMdiSubWindow> meterSub = f.window.showChild(meterSetup);
    QWidget* graph = named("GraphForm");
    f.window.showChild(graph);
    QWidget* startCamera = named("StartCameraForm", &f.window);
    startCamera->show();
    f.t.ctx.settings.REVS_PER_KWH = 750;
    f.t.ctx.settings.TRIGGER_LEVEL = 3;

    f.t.dialogs.setNextAnswer(Dialogs::Answer::No);
    f.trigger(MenuItem::LoadFactoryDefaults);
    EXPECT_EQ(f.t.ctx.settings.REVS_PER_KWH, 750);
    EXPECT_TRUE(meterSetup->isVisible());

    f.trigger(MenuItem::LoadFactoryDefaults);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(meterSub.isNull());
    EXPECT_FALSE(startCamera->isVisible());
    EXPECT_TRUE(graph->isVisible());
    EXPECT_EQ(f.t.ctx.settings, SettingsDefaults::factorySettings());
    EXPECT_TRUE(QDir(f.t.dir.path()).entryList(QDir::Files).isEmpty());

    f.t.dialogs.setNextAnswer(Dialogs::Answer::No);
    f.trigger(MenuItem::SaveAllSettings);
    EXPECT_TRUE(QDir(f.t.dir.path()).entryList(QDir::Files).isEmpty());
    f.trigger(MenuItem::SaveAllSettings);
    EXPECT_EQ(QDir(f.t.dir.path()).entryList(QDir::Files).size(), 6) << "the four files, publishing and unattended";
    EXPECT_EQ(f.t.dialogs.texts().size(), 4);
}

TEST(MainWindowScreens, ModelessScreensAreMadeOnceAndPersistentOnesSurviveClosing)
{
    WindowFixture f;
    const auto closeActiveFrame = [&] {
        f.window.mdiArea()->activeSubWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    int made = 0;
    f.window.addModelessScreen(MenuItem::EnergyMeterSetup, [&made] {
        ++made;
        return new QWidget;
    });
    auto* other = new QWidget;
    f.window.showChild(other);
    f.trigger(MenuItem::EnergyMeterSetup);
    QWidget* first = f.window.screen(MenuItem::EnergyMeterSetup);
    ASSERT_NE(first, nullptr);
    f.window.showChild(other);
    f.trigger(MenuItem::EnergyMeterSetup);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(f.window.mdiArea()->activeSubWindow()->widget(), first) << "brought to the front";
    closeActiveFrame();
    EXPECT_EQ(f.window.screen(MenuItem::EnergyMeterSetup), nullptr);
    f.trigger(MenuItem::EnergyMeterSetup);
    EXPECT_EQ(made, 2);

    auto* trip = new QWidget;
    f.window.addPersistentScreen(MenuItem::EnergyTripForm, trip);
    EXPECT_FALSE(trip->isVisible());
    f.trigger(MenuItem::EnergyTripForm);
    EXPECT_TRUE(trip->isVisible());
    closeActiveFrame();
    EXPECT_EQ(f.window.screen(MenuItem::EnergyTripForm), trip);
    EXPECT_FALSE(trip->isVisible());
    f.trigger(MenuItem::EnergyTripForm);
    EXPECT_TRUE(trip->isVisible());
    f.window.hideScreen(MenuItem::EnergyTripForm);
    EXPECT_FALSE(trip->isVisible());
}

TEST(MainWindowHelp, OpensTheContentsPageInAViewerOwnedByTheWindowOrSaysItIsMissing)
{
    WindowFixture f;
    f.trigger(MenuItem::HelpContents);
    HelpViewer* viewer = f.window.helpViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->parentWidget(), &f.window);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->browser()->source().fileName(), QStringLiteral("index.html"));
    EXPECT_TRUE(f.t.dialogs.shown.empty());

    MainWindow helpless(f.t.ctx, f.t.path(QStringLiteral("no-help-here")));
    helpless.ShowHelp(0);
    ASSERT_EQ(f.t.dialogs.shown.size(), 1u);
    EXPECT_TRUE(f.t.dialogs.shown[0].text.startsWith(QLatin1String("The help pages could not be found")));
    EXPECT_FALSE(helpless.helpViewer()->isVisible());
}

} // namespace
