// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestContext.h"
#include "ui/MainWindow.h"
#include "ui/WattsightApp.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The program started on test services in an empty folder, its splash dismissed.
struct RunningApp
{
    FakeClock clock;
    FakePump pump{clock};
    ScriptedDialogs dialogs;
    FaultyFileIo files;
    QTemporaryDir dir;
    WattsightApp app{Services{clock, pump, dialogs, files}, dir.path(), WattsightApp::Options{true, QString()}};

    RunningApp()
    {
        clock.setNow(QDateTime(QDate(2009, 1, 5), QTime(9, 0)));
        EXPECT_TRUE(app.Main());
        delete app.splash();
    }
    MainWindow& window() { return app.window(); }
    MeteringContext& ctx() { return app.context(); }
    void choose(MenuItem item) { window().action(item)->trigger(); }
    QWidget* screenOnTop()
    {
        QMdiSubWindow* sub = app.window().mdiArea()->activeSubWindow();
        return sub && sub->isVisible() ? sub->widget() : nullptr;
    }
    int visibleFrames()
    {
        int n = 0;
        for (QMdiSubWindow* sub : app.window().mdiArea()->subWindowList())
            n += sub->isVisible() ? 1 : 0;
        return n;
    }
    // Modeless screens run their task from a timer and close their frame when done.
    bool waitForNoFrames()
    {
        QElapsedTimer timer;
        timer.start();
        while (visibleFrames() > 0 && timer.elapsed() < 5000)
            QTest::qWait(10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return visibleFrames() == 0;
    }
};

void fillFourRecords(RunningApp& r)
{
    r.choose(MenuItem::FillArray);
    QWidget* filler = r.screenOnTop();
    ASSERT_NE(filler, nullptr);
    ASSERT_EQ(filler->objectName(), "DebugFillArray");
    filler->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("15"));
    filler->findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(QStringLiteral("4"));
    filler->findChild<QLineEdit*>(QStringLiteral("Text3"))->setText(QStringLiteral("10"));
    filler->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    ASSERT_EQ(r.ctx().varGlobalDataArray.pointer(), 5);
    filler->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
}

TEST(DataMenus, EveryDataItemIsEnabled)
{
    RunningApp r;
    for (MenuItem item : {MenuItem::LoadPreviousRunData, MenuItem::ExportData, MenuItem::ImportData,
                          MenuItem::DisplayEnergyHistoryGraph, MenuItem::FillArray})
        EXPECT_TRUE(r.window().action(item)->isEnabled()) << r.window().action(item)->objectName().toStdString();
}

TEST(DataMenus, FillArrayHidesItsFrameAndKeepsTheTypedValues)
{
    RunningApp r;
    fillFourRecords(r);
    EXPECT_EQ(r.visibleFrames(), 0) << "Close hides the frame, not just the form inside it";
    r.choose(MenuItem::FillArray);
    ASSERT_NE(r.screenOnTop(), nullptr);
    EXPECT_EQ(r.screenOnTop()->findChild<QLineEdit*>(QStringLiteral("Text1"))->text(), "15");
}

TEST(DataMenus, GraphDrawsAndItsCloseButtonClosesTheFrame)
{
    RunningApp r;
    fillFourRecords(r);
    r.choose(MenuItem::DisplayEnergyHistoryGraph);
    QWidget* graph = r.screenOnTop();
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(graph->windowTitle(), "View Logged Data Graph");
    graph->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    EXPECT_TRUE(r.dialogs.shown.empty());
    graph->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    ASSERT_TRUE(r.waitForNoFrames());
    EXPECT_EQ(r.window().screen(MenuItem::DisplayEnergyHistoryGraph), nullptr);
}

TEST(DataMenus, ExportImportAndReloadRunFromTheirMenuItems)
{
    RunningApp r;
    fillFourRecords(r);

    // Export and import are modal: choosing the item returns once the window has done its work.
    r.dialogs.setNextFileName(r.ctx().paths.dataStore);
    r.choose(MenuItem::ExportData);
    QFile exported(r.ctx().paths.dataStore);
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_EQ(exported.readAll().count('\n'), 5);
    EXPECT_TRUE(r.dialogs.shown.empty());

    r.dialogs.setNextAnswer(Dialogs::Answer::Yes);
    r.dialogs.setNextFileName(r.ctx().paths.dataStore);
    r.choose(MenuItem::ImportData);
    EXPECT_EQ(r.dialogs.texts(), (QStringList{"There is data already in memory, do you wish to overwrite it?\r\n"
                                              "If you do so, you will lose the previous data results",
                                              "Data imported"}));

    // The reload runs without blocking; each choice of the item is a fresh run.
    for (int run = 1; run <= 2; ++run) {
        r.dialogs.setNextAnswer(Dialogs::Answer::Yes);
        r.choose(MenuItem::LoadPreviousRunData);
        ASSERT_TRUE(r.waitForNoFrames()) << "run " << run;
        EXPECT_EQ(r.dialogs.texts().last(), "Previous Run Data imported") << "run " << run;
        EXPECT_EQ(r.ctx().varGlobalDataArray.pointer(), 5);
    }
}

} // namespace
