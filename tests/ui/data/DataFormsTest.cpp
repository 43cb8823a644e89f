// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/TestDataGenerator.h"
#include "support/TestContext.h"
#include "ui/DebugFillArray.h"
#include "ui/ExportForm.h"
#include "ui/GraphForm.h"
#include "ui/ImportForm.h"
#include "ui/ImportRunData.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <qcustomplot.h>

namespace {

// Screens are grabbed to PNGs when WATTSIGHT_SCREENSHOT_DIR names a folder.
void screenshot(QWidget& widget, const QString& name)
{
    const QString dir = qEnvironmentVariable("WATTSIGHT_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        widget.grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

bool waitUntilGone(const QPointer<QWidget>& widget)
{
    QElapsedTimer timer;
    timer.start();
    while (widget && timer.elapsed() < 5000)
        QTest::qWait(10);
    return widget.isNull();
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
    QPointer<QWidget> form = new ExportForm(t.ctx);
    EXPECT_EQ(form->windowTitle(), "Exporting Data ...");
    EXPECT_TRUE(form->isModal());
    int barAtEnd = -1;
    bool result = false;
    QObject::connect(qobject_cast<ExportForm*>(form.data()), &DataTaskForm::taskDone, [&](bool ok) {
        result = ok;
        auto* bar = form->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
        barAtEnd = bar->value();
        EXPECT_TRUE(form->isVisible());
        screenshot(*form, QStringLiteral("ExportForm"));
    });
    form->show();
    ASSERT_TRUE(waitUntilGone(form));
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
    QPointer<QWidget> empty = new ExportForm(t.ctx);
    empty->show();
    ASSERT_TRUE(waitUntilGone(empty));
    EXPECT_EQ(t.dialogs.texts(), QStringList{"No data to save"});

    fillDay(t, 10);
    QPointer<QWidget> cancelled = new ExportForm(t.ctx);
    cancelled->show();
    ASSERT_TRUE(waitUntilGone(cancelled));
    EXPECT_EQ(t.dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(t.dialogs.shown.size(), 1u);
}

TEST(ImportFormsGui, ImportAndReloadFillTheArrayAndClose)
{
    TestContext source;
    fillDay(source, 30);
    TestContext t;
    source.dialogs.setNextFileName(t.ctx.paths.dataStore);
    QPointer<QWidget> exporter = new ExportForm(source.ctx);
    exporter->show();
    ASSERT_TRUE(waitUntilGone(exporter));

    QPointer<QWidget> reload = new ImportRunData(t.ctx);
    EXPECT_EQ(reload->windowTitle(), "Importing Data From Last Run .....");
    EXPECT_FALSE(reload->isModal());
    QObject::connect(qobject_cast<DataTaskForm*>(reload.data()), &DataTaskForm::taskDone,
                     [&] { screenshot(*reload, QStringLiteral("ImportRunData")); });
    reload->show();
    ASSERT_TRUE(waitUntilGone(reload));
    EXPECT_EQ(t.dialogs.texts(), QStringList{"Previous Run Data imported"});
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 31);

    t.dialogs.setNextAnswer(Dialogs::Answer::Yes);
    t.dialogs.setNextFileName(t.ctx.paths.dataStore);
    QPointer<QWidget> import = new ImportForm(t.ctx);
    EXPECT_EQ(import->windowTitle(), "Importing Data ...");
    QObject::connect(qobject_cast<DataTaskForm*>(import.data()), &DataTaskForm::taskDone,
                     [&] { screenshot(*import, QStringLiteral("ImportForm")); });
    import->show();
    ASSERT_TRUE(waitUntilGone(import));
    EXPECT_EQ(t.dialogs.texts().last(), "Data imported");
    EXPECT_EQ(t.dialogs.shown[1].title, "Data in memory");
}

class GraphFormGui : public testing::Test
{
protected:
    void SetUp() override
    {
        form = new GraphForm(t.ctx);
        form->resize(1100, 560);
        form->show();
    }
    void TearDown() override { delete form.data(); }
    QPushButton* button(const char* name) { return form->findChild<QPushButton*>(QString::fromLatin1(name)); }
    QLineEdit* edit(const char* name) { return form->findChild<QLineEdit*>(QString::fromLatin1(name)); }
    int points() { return form->findChild<QCustomPlot*>(QStringLiteral("Graph1"))->graph(0)->dataCount(); }

    TestContext t;
    QPointer<GraphForm> form;
};

TEST_F(GraphFormGui, NoDataMessage)
{
    EXPECT_EQ(form->windowTitle(), "View Logged Data Graph");
    EXPECT_EQ(edit("LoggedReadings")->text(), "0");
    button("Command1")->click();
    EXPECT_EQ(t.dialogs.texts(), QStringList{"No Data to Display"});
    EXPECT_EQ(points(), 0);
}

TEST_F(GraphFormGui, ShowsADayOfRecordsWithAndWithoutCompaction)
{
    fillDay(t);
    EXPECT_EQ(edit("LoggedReadings")->text(), "0"); // counted only on Refresh
    button("Command4")->click();
    EXPECT_EQ(edit("LoggedReadings")->text(), "288");

    button("Command1")->click();
    EXPECT_EQ(points(), 288);
    EXPECT_EQ(form->series().graphTitle, "Power (KW) averaged over each logging interval");
    screenshot(*form, QStringLiteral("GraphForm"));

    QLineEdit* factor = edit("edtCompaction");
    factor->clear();
    EXPECT_EQ(factor->text(), "1");
    factor->selectAll();
    QTest::keyClicks(factor, QStringLiteral("1x2"));
    EXPECT_EQ(factor->text(), "12") << "letters are dropped as they are typed";
    form->findChild<QListWidget*>(QStringLiteral("List1"))->setCurrentRow(2);
    EXPECT_EQ(points(), 288); // a new choice draws nothing until Calculate Graph
    button("Command1")->click();
    EXPECT_EQ(points(), 24);
    EXPECT_EQ(form->series().graphTitle, "Energy used (KWH) during each logging interval");
    screenshot(*form, QStringLiteral("GraphForm-compacted"));

    factor->selectAll();
    QTest::keyClicks(factor, QStringLiteral("97")); // above 288 / 3
    EXPECT_EQ(factor->text(), "1");
}

TEST_F(GraphFormGui, SavesPngAndPdf)
{
    fillDay(t, 50);
    button("Command1")->click();
    for (const char* name : {"graph.png", "graph.pdf"}) {
        const QString file = t.path(QString::fromLatin1(name));
        t.dialogs.setNextFileName(file);
        button("SaveGraph")->click();
        EXPECT_GT(QFileInfo(file).size(), 1000) << name;
    }
    QFile pdf(t.path(QStringLiteral("graph.pdf")));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    EXPECT_TRUE(t.dialogs.shown.empty());
}

TEST(GraphPainterText, HoverTextShowsTimeAndValue)
{
    const GraphPainter painter(QLocale(QLocale::English, QLocale::UnitedKingdom));
    const double when = graphTime(QDateTime(QDate(2009, 1, 5), QTime(9, 3, 7)));
    EXPECT_EQ(painter.pointText(when, 0.0833333333), "05/01/2009 09:03:07\n0.083333");
}

TEST(DebugFillArrayGui, FillsRefusesAndHides)
{
    TestContext t;
    DebugFillArray form(t.ctx);
    form.show();
    EXPECT_EQ(form.windowTitle(), "Debugging form - fill the array");
    auto* button = form.findChild<QPushButton*>(QStringLiteral("Command1"));
    button->click(); // the fields still say Text1 ... Text3
    ASSERT_EQ(t.dialogs.shown.size(), 1u);
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 1);

    form.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("15"));
    form.findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(QStringLiteral("4"));
    form.findChild<QLineEdit*>(QStringLiteral("Text3"))->setText(QStringLiteral("10"));
    t.ctx.blnGlobalLoggingRunning = true;
    button->click();
    EXPECT_EQ(t.dialogs.texts().last(), FillWhileLoggingText);
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 1);

    t.ctx.blnGlobalLoggingRunning = false;
    button->click();
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 5);
    EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("Text4"))->text(), "4");
    screenshot(form, QStringLiteral("DebugFillArray"));
    form.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("Text1"))->text(), "15");
}

} // namespace
