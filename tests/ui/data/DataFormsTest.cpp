// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/TestDataGenerator.h"
#include "ui/data/DebugFillArray.h"
#include "ui/data/ExportForm.h"
#include "ui/data/GraphForm.h"
#include "ui/support/RunningApp.h"

#include <QFile>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <qcustomplot.h>

namespace {

// Shows the task window and waits until it has done its work and closed itself.
bool runUntilGone(DataTaskForm* form)
{
    QPointer<QWidget> alive = form;
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

// The export, import and reload windows run from the menus in the data menu tests; here the export window's
// own progress bar and the ways it closes.
TEST(ExportFormGui, ClosesWithoutWritingWithNoDataOrOnCancelAndOtherwiseWritesTheFileShowingProgress)
{
    TestContext t;
    ASSERT_TRUE(runUntilGone(new ExportForm(t.ctx)));
    EXPECT_EQ(t.dialogs.texts(), QStringList{"No data to save"});
    fillDay(t);
    ASSERT_TRUE(runUntilGone(new ExportForm(t.ctx)));
    EXPECT_EQ(t.dialogs.fileRequests.size(), 1u);

    const QString file = t.path(QStringLiteral("day.csv"));
    t.dialogs.setNextFileName(file);
    auto* form = new ExportForm(t.ctx);
    EXPECT_TRUE(form->isModal());
    int barAtEnd = -1;
    QObject::connect(form, &DataTaskForm::taskDone,
                     [&](bool ok) { barAtEnd = ok ? child<QProgressBar>(form, "ProgressBar1")->value() : -2; });
    ASSERT_TRUE(runUntilGone(form));
    EXPECT_EQ(barAtEnd, 96); // 288 records at a step of 3
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count('\n'), 289);
    EXPECT_EQ(t.dialogs.shown.size(), 1u);
}

class GraphFormGui : public testing::Test
{
protected:
    void SetUp() override
    {
        form.resize(1100, 560);
        form.show();
    }
    void press(const char* name) { child<QPushButton>(&form, name)->click(); }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(&form, name); }
    int points() { return child<QCustomPlot>(&form, "Graph1")->graph(0)->dataCount(); }

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

    t.ctx.varGlobalDataArray.append(LogRecord{});
    factor->selectAll();
    QTest::keyClicks(factor, QStringLiteral("97")); // above 289 / 3, rounded: the limit counts the records exactly
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
    press(&form, "Command1"); // the fields still say Text1 ... Text3
    ASSERT_EQ(t.dialogs.shown.size(), 1u);
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 1);
    for (auto [name, value] : {std::pair{"Text1", "15"}, {"Text2", "4"}, {"Text3", "10"}})
        child<QLineEdit>(&form, name)->setText(QString::fromLatin1(value));
    press(&form, "Command1");
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 5);
    EXPECT_EQ(child<QLineEdit>(&form, "Text4")->text(), "4");
    press(&form, "Command2");
    EXPECT_FALSE(form.isVisible());
}

} // namespace
