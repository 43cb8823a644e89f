// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/MainWindow.h"

#include "ui/support/RunningApp.h"

#include <QLabel>
#include <QPointer>
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

TEST(MainWindowMenus, OnlyItemsWithAScreenAreEnabledAndHelpOpensInAViewerOwnedByTheWindowOrSaysItIsMissing)
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

    f.trigger(MenuItem::HelpContents);
    HelpViewer* viewer = f.window.helpViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->parentWidget() == &f.window && viewer->isVisible() && f.t.dialogs.shown.empty());

    MainWindow helpless(f.t.ctx, f.t.path(QStringLiteral("no-help-here")));
    helpless.ShowHelp(0);
    ASSERT_EQ(f.t.dialogs.shown.size(), 1u);
    EXPECT_TRUE(f.t.dialogs.shown[0].text.startsWith(QLatin1String("The help pages could not be found")));
    EXPECT_FALSE(helpless.helpViewer()->isVisible());
}

TEST(MainWindowExit, WindowCloseAndExitMenuRunTheExitGuard)
{
    WindowFixture f;
    // What refuses the exit is checked on the run screens and the camera's; here that both ways ask.
    f.t.dialogs.setNextAnswer(Dialogs::Answer::No);
    EXPECT_FALSE(f.window.close());
    f.t.dialogs.setNextAnswer(Dialogs::Answer::No);
    f.trigger(MenuItem::ExitMenu);
    EXPECT_TRUE(f.window.isVisible() && f.ended == 0);

    EXPECT_TRUE(f.window.close());
    EXPECT_EQ(f.ended, 1);
    f.trigger(MenuItem::ExitMenu);
    EXPECT_EQ(f.ended, 2);
}

TEST(MainWindowSettingsFiles, FactoryDefaultsCloseSetupScreensAndResetMemoryAndSaveAllWritesEveryFileAfterYes)
{
    WindowFixture f;
    // The screens are told apart by their object names.
    QWidget *meterSetup = new QWidget, *graph = new QWidget, *startCamera = new QWidget(&f.window, Qt::Window);
    for (auto [w, name] :
         {std::pair{meterSetup, "EnergyMeterSetupForm"}, {graph, "GraphForm"}, {startCamera, "StartCameraForm"}})
        w->setObjectName(QString::fromLatin1(name));
    QPointer<QMdiSubWindow> meterSub = f.window.showChild(meterSetup);
    f.window.showChild(graph);
    startCamera->show();
    GlobalSettings& s = f.t.ctx.settings;
    std::tie(s.REVS_PER_KWH, s.LOGGING_INTERVAL_SECONDS, s.CURRENCY_TITLE, s.TRIGGER_LEVEL) =
        std::tuple(750, 60, "Cents", 3);

    f.t.dialogs.setNextAnswer(Dialogs::Answer::No);
    f.trigger(MenuItem::LoadFactoryDefaults);
    EXPECT_TRUE(s.REVS_PER_KWH == 750 && meterSetup->isVisible());

    f.trigger(MenuItem::LoadFactoryDefaults);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(meterSub.isNull() && !startCamera->isVisible() && graph->isVisible());
    EXPECT_EQ(s, SettingsDefaults::factorySettings());
    EXPECT_TRUE(QDir(f.t.dir.path()).entryList(QDir::Files).isEmpty());

    f.t.dialogs.setNextAnswer(Dialogs::Answer::No);
    f.trigger(MenuItem::SaveAllSettings);
    EXPECT_TRUE(QDir(f.t.dir.path()).entryList(QDir::Files).isEmpty());
    f.trigger(MenuItem::SaveAllSettings);
    EXPECT_EQ(QDir(f.t.dir.path()).entryList(QDir::Files).size(), 9)
        << "the four files, publishing, unattended, detector, tariffs and register";
    EXPECT_EQ(f.t.dialogs.texts().size(), 4);
}

} // namespace

TEST(MainWindowStartHint, ShownOnlyWhileTheFrameIsEmptyAndNothingRuns)
{
    RunningApp a;
    a.app.window().show();
    auto* hint = child<QLabel>(&a.app.window(), "lblStartHint");
    EXPECT_TRUE(QTest::qWaitFor([&] { return hint->isVisible(); }));
    QWidget* meter = a.open(MenuItem::EnergyMeterSetup);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !hint->isVisible(); }));
    a.frameOf(meter)->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return hint->isVisible(); }));
    // A trip running behind its hidden screen.
    QWidget* trip = a.open(MenuItem::EnergyTripForm);
    press(trip, "StartButton");
    ASSERT_TRUE(a.ctx().blnGlobalTripRunning);
    a.app.window().hideScreen(MenuItem::EnergyTripForm);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !a.frameOf(trip)->isVisible(); }));
    QTest::qWait(50);
    EXPECT_FALSE(hint->isVisible());
}
