// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/support/RunningApp.h"

#include <QFile>

namespace {

struct DataApp : RunningApp
{
    int visibleFrames()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const auto frames = app.window().mdiArea()->subWindowList();
        return int(std::count_if(frames.begin(), frames.end(), [](QMdiSubWindow* s) { return s->isVisible(); }));
    }
    // Modeless screens run their task from a timer and close their frame when done.
    bool waitForNoFrames()
    {
        return QTest::qWaitFor([&] { return visibleFrames() == 0; }, 5000);
    }
    void fillFourRecords()
    {
        QWidget* filler = open(MenuItem::FillArray);
        press(filler, "Command1"); // the fields still say Text1 ... Text3: refused with a message
        ASSERT_EQ(std::tuple(dialogs.shown.size(), ctx().varGlobalDataArray.pointer()), std::tuple(1u, 1));
        dialogs.shown.clear();
        for (auto [name, value] : {std::pair{"Text1", "15"}, {"Text2", "4"}, {"Text3", "10"}})
            child<QLineEdit>(filler, name)->setText(QString::fromLatin1(value));
        press(filler, "Command1");
        ASSERT_EQ(ctx().varGlobalDataArray.pointer(), 5);
        EXPECT_EQ(text(filler, "Text4"), "4");
        press(filler, "Command2");
    }
};

TEST(DataMenus, FillArrayAndGraphCloseTheirFramesFillArrayKeepsItsValuesAndExportImportAndReloadRunFromTheMenus)
{
    DataApp r;
    r.fillFourRecords();
    EXPECT_EQ(r.visibleFrames(), 0) << "Close hides the frame, not just the form inside it";
    QWidget* filler = r.open(MenuItem::FillArray);
    EXPECT_EQ(r.text(filler, "Text1"), "15");
    press(filler, "Command2");

    QWidget* graph = r.open(MenuItem::DisplayEnergyHistoryGraph);
    press(graph, "Command1");
    EXPECT_TRUE(r.dialogs.shown.empty()) << "the four records are drawn";
    press(graph, "Command2");
    ASSERT_TRUE(r.waitForNoFrames());
    EXPECT_EQ(r.screen(MenuItem::DisplayEnergyHistoryGraph), nullptr);

    // Export and import are modal: choosing the item returns once the window has done its work.
    r.dialogs.setNextFileName(r.ctx().paths.dataStore);
    r.open(MenuItem::ExportData);

    r.dialogs.setNextAnswer(Dialogs::Answer::Yes);
    r.dialogs.setNextFileName(r.ctx().paths.dataStore);
    r.open(MenuItem::ImportData);
    EXPECT_EQ(r.dialogs.texts().size(), 2) << "the export said nothing, the import asked and told";
    EXPECT_TRUE(r.dialogs.texts().last().startsWith("Data imported\r\n4 records loaded, from "));

    // The reload runs without blocking; each choice of the item is a fresh run.
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        r.dialogs.setNextAnswer(Dialogs::Answer::Yes);
        r.open(MenuItem::LoadPreviousRunData);
        ASSERT_TRUE(r.waitForNoFrames());
        EXPECT_TRUE(r.dialogs.texts().last().startsWith("Previous Run Data imported\r\n4 records"));
        EXPECT_EQ(r.ctx().varGlobalDataArray.pointer(), 5);
        EXPECT_TRUE(QFile::exists(r.ctx().paths.dataStore)) << "the backup stays";
    }
}

} // namespace
