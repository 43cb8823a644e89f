// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/TestDataGenerator.h"
#include "ui/data/DebugFillArray.h"
#include "ui/data/ExportForm.h"
#include "ui/data/GraphForm.h"
#include "ui/data/ImportForm.h"
#include "ui/data/ImportRunData.h"
#include "ui/support/RunningApp.h"

#include <QFile>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <qcustomplot.h>

namespace {

// Shows the task window and waits until it has done its work and closed itself.
bool runUntilGone(DataTaskForm* form, const char* screenshot = nullptr)
{
    QPointer<QWidget> alive = form;
    if (screenshot)
        QObject::connect(form, &DataTaskForm::taskDone, [=] { screenshotIfWanted(form, screenshot); });
    form->show();
    return QTest::qWaitFor([&] { return alive.isNull(); }, 5000);
}

void fillDay(TestContext& t, int records = 288)
{
    t.ctx.pulse.dblGlobalWkgRevsPerKWH = 375;
    t.ctx.pulse.dblGlobalWkgCostPerKWH = 13.7;
    t.clock.setNow(QDateTime(QDate(2009, 1, 5), QTime(0, 0)));
    ASSERT_EQ(FillArray(t.ctx, {QStringLiteral("5"), QString::number(records), QStringLiteral("40")}), QString());
}

TEST(ExportFormGui, WritesTheChosenFileShowsProgressAndCloses)
{
    TestContext t;
    fillDay(t);
    const QString file = t.path(QStringLiteral("day.csv"));
    t.dialogs.setNextFileName(file);
    auto* form = new ExportForm(t.ctx);
    EXPECT_TRUE(form->isModal());
    int barAtEnd = -1;
    bool result = false;
    QObject::connect(form, &DataTaskForm::taskDone, [&](bool ok) {
        result = ok;
        barAtEnd = form->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"))->value();
    });
    ASSERT_TRUE(runUntilGone(form, "ExportForm.png"));
    EXPECT_TRUE(result);
    EXPECT_EQ(barAtEnd, 96); // 288 records at a step of 3
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count('\n'), 289);
    EXPECT_TRUE(t.dialogs.shown.empty());
}

TEST(ExportFormGui, ClosesWithoutWritingOnCancelAndWithNoData)
{
    TestContext t;
    ASSERT_TRUE(runUntilGone(new ExportForm(t.ctx)));
    EXPECT_EQ(t.dialogs.texts(), QStringList{"No data to save"});
    fillDay(t, 10);
    ASSERT_TRUE(runUntilGone(new ExportForm(t.ctx)));
    EXPECT_EQ(t.dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(t.dialogs.shown.size(), 1u);
}

TEST(ImportFormsGui, ImportAndReloadFillTheArrayAndClose)
{
    TestContext source;
    fillDay(source, 30);
    TestContext t;
    source.dialogs.setNextFileName(t.ctx.paths.dataStore);
    ASSERT_TRUE(runUntilGone(new ExportForm(source.ctx)));

    auto* reload = new ImportRunData(t.ctx);
    EXPECT_FALSE(reload->isModal());
    ASSERT_TRUE(runUntilGone(reload, "ImportRunData.png"));
    ASSERT_EQ(t.dialogs.texts().size(), 1);
    EXPECT_TRUE(t.dialogs.texts()[0].startsWith("Previous Run Data imported\r\n30 records loaded, from "));
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 31);

    t.dialogs.setNextFileName(t.ctx.paths.dataStore);
    ASSERT_TRUE(runUntilGone(new ImportForm(t.ctx), "ImportForm.png"));
    EXPECT_EQ(t.dialogs.texts().mid(1, 1),
              QStringList({"There is data already in memory, do you wish to overwrite "
                           "it?\r\nIf you do so, you will lose the previous data results"}));
    EXPECT_TRUE(t.dialogs.texts().last().startsWith("Data imported\r\n30 records loaded, from "));
}

class GraphFormGui : public testing::Test
{
protected:
    void SetUp() override
    {
        form.resize(1100, 560);
        form.show();
    }
    void press(const char* name) { form.findChild<QPushButton*>(QString::fromLatin1(name))->click(); }
    QLineEdit* edit(const char* name) { return form.findChild<QLineEdit*>(QString::fromLatin1(name)); }
    int points() { return form.findChild<QCustomPlot*>(QStringLiteral("Graph1"))->graph(0)->dataCount(); }

    TestContext t;
    GraphForm form{t.ctx};
};

TEST_F(GraphFormGui, DrawsADayOfRecordsWithAndWithoutCompaction)
{
    press("Command1");
    EXPECT_EQ(t.dialogs.texts(), QStringList{"No Data to Display"});
    fillDay(t);
    EXPECT_EQ(edit("LoggedReadings")->text(), "0"); // counted only on Refresh
    press("Command4");
    EXPECT_EQ(edit("LoggedReadings")->text(), "288");

    press("Command1");
    EXPECT_EQ(points(), 288);
    EXPECT_EQ(form.series().graphTitle, "Power (KW) averaged over each logging interval");
    screenshotIfWanted(&form, "GraphForm.png");

    QLineEdit* factor = edit("edtCompaction");
    factor->clear();
    EXPECT_EQ(factor->text(), "1");
    factor->selectAll();
    QTest::keyClicks(factor, QStringLiteral("1x2"));
    EXPECT_EQ(factor->text(), "12") << "letters are dropped as they are typed";
    form.findChild<QListWidget*>(QStringLiteral("List1"))->setCurrentRow(2);
    EXPECT_EQ(points(), 288); // a new choice draws nothing until Calculate Graph
    press("Command1");
    EXPECT_EQ(points(), 24);
    EXPECT_EQ(form.series().graphTitle, "Energy used (KWH) during each logging interval");
    screenshotIfWanted(&form, "GraphForm-compacted.png");

    factor->selectAll();
    QTest::keyClicks(factor, QStringLiteral("97")); // above 288 / 3
    EXPECT_EQ(factor->text(), "1");
    EXPECT_EQ(t.dialogs.shown.size(), 1u);
}

TEST_F(GraphFormGui, SavesPngAndPdf)
{
    fillDay(t, 50);
    press("Command1");
    for (const char* name : {"graph.png", "graph.pdf"}) {
        const QString file = t.path(QString::fromLatin1(name));
        t.dialogs.setNextFileName(file);
        press("SaveGraph");
        EXPECT_GT(QFileInfo(file).size(), 1000) << name;
    }
    QFile pdf(t.path(QStringLiteral("graph.pdf")));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_EQ(pdf.read(5), "%PDF-");
    EXPECT_TRUE(t.dialogs.shown.empty());

    const GraphPainter painter(t.ctx.locale);
    EXPECT_EQ(painter.pointText(graphTime(QDateTime(QDate(2009, 1, 5), QTime(9, 3, 7))), 0.0833333333),
              "05/01/2009 09:03:07\n0.083333");
}

TEST(DebugFillArrayGui, FillsRefusesAndHides)
{
    TestContext t;
    DebugFillArray form(t.ctx);
    form.show();
    auto* button = form.findChild<QPushButton*>(QStringLiteral("Command1"));
    button->click(); // the fields still say Text1 ... Text3
    ASSERT_EQ(t.dialogs.shown.size(), 1u);
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 1);

    for (auto [name, value] : {std::pair{"Text1", "15"}, {"Text2", "4"}, {"Text3", "10"}})
        form.findChild<QLineEdit*>(QString::fromLatin1(name))->setText(QString::fromLatin1(value));
    t.ctx.blnGlobalLoggingRunning = true;
    button->click();
    EXPECT_EQ(t.dialogs.texts().last(), FillWhileLoggingText);
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 1);

    t.ctx.blnGlobalLoggingRunning = false;
    button->click();
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 5);
    EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("Text4"))->text(), "4");
    screenshotIfWanted(&form, "DebugFillArray.png");
    form.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    EXPECT_FALSE(form.isVisible());
}

} // namespace
