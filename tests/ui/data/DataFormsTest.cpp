// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/TestDataGenerator.h"
#include "ui/data/ExportForm.h"
#include "ui/data/GraphForm.h"
#include "ui/support/RunningApp.h"

#include <QListWidget>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QProgressBar>
#include <QRegularExpression>
#include <qcustomplot.h>

namespace {

// Shows the task window and waits until it has done its work and closed itself.
bool runUntilGone(DataTaskForm* form)
{
    QPointer<QWidget> alive = form;
    form->show();
    return QTest::qWaitFor([&] { return alive.isNull(); }, 5000);
}

// The page size, each word's height and the box around all words of a PDF, in points, as pdftotext reads them.
struct PdfText
{
    QSizeF page;
    QHash<QString, double> heights;
    QRectF span;
};
PdfText pdfText(const QString& file)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
    EXPECT_TRUE(p.waitForFinished()) << "pdftotext (poppler-utils) is needed";
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const auto page = QRegularExpression(QStringLiteral(R"re(<page width="([\d.]+)" height="([\d.]+)")re")).match(out);
    PdfText text{{page.captured(1).toDouble(), page.captured(2).toDouble()}, {}, {}};
    static const QRegularExpression word(
        QStringLiteral(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)<)re"));
    for (auto it = word.globalMatch(out); it.hasNext();) {
        const auto w = it.next();
        const QRectF box(QPointF(w.captured(1).toDouble(), w.captured(2).toDouble()),
                         QPointF(w.captured(3).toDouble(), w.captured(4).toDouble()));
        text.span |= box;
        text.heights.insert(w.captured(5), box.height());
    }
    return text;
}

void fillDay(TestContext& t, int records = 288)
{
    std::tie(t.ctx.pulse.dblGlobalWkgRevsPerKWH, t.ctx.pulse.dblGlobalWkgCostPerKWH) = std::tuple(375, 13.7);
    t.clock.setNow(QDateTime(QDate(2009, 1, 5), QTime(0, 0)));
    ASSERT_EQ(FillArray(t.ctx, {QStringLiteral("5"), QString::number(records), QStringLiteral("40")}), QString());
}

// The export, import and reload windows run from the menus in the data menu tests and the export's questions
// on the engine; here the export window's own progress bar and that it closes, with or without data.
TEST(ExportFormGui, ClosesWithoutWritingWithNoDataAndOtherwiseWritesTheFileShowingProgress)
{
    TestContext t;
    ASSERT_TRUE(runUntilGone(new ExportForm(t.ctx)));
    fillDay(t);

    const QString file = t.path(QStringLiteral("day.csv"));
    t.dialogs.setNextFileName(file);
    auto* form = new ExportForm(t.ctx);
    int barAtEnd = -1;
    QObject::connect(form, &DataTaskForm::taskDone,
                     [&](bool ok) { barAtEnd = ok ? child<QProgressBar>(form, "ProgressBar1")->value() : -2; });
    ASSERT_TRUE(runUntilGone(form));
    EXPECT_EQ(barAtEnd, 96); // 288 records at a step of 3
    EXPECT_EQ(fileBytes(file).count('\n'), 289);
    EXPECT_EQ(t.dialogs.texts(), QStringList{"No data to save"});
}

struct GraphFormGui : testing::Test
{
    void SetUp() override
    {
        form.resize(1100, 560);
        form.show();
    }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(&form, name); }
    int points() { return child<QCustomPlot>(&form, "Graph1")->graph(0)->dataCount(); }

    TestContext t;
    GraphForm form{t.ctx};
};

TEST_F(GraphFormGui, DrawsADayOfRecordsWithAndWithoutCompaction)
{
    press(&form, "Command1");
    EXPECT_EQ(t.dialogs.texts(), QStringList{"No Data to Display"});
    fillDay(t);
    EXPECT_EQ(edit("LoggedReadings")->text(), "0"); // counted only on Refresh
    press(&form, "Command4");
    EXPECT_EQ(edit("LoggedReadings")->text(), "288");

    press(&form, "Command1");
    EXPECT_EQ(points(), 288);

    QLineEdit* factor = edit("edtCompaction");
    factor->selectAll();
    QTest::keyClicks(factor, QStringLiteral("12"));
    form.findChild<QListWidget*>(QStringLiteral("List1"))->setCurrentRow(2);
    EXPECT_EQ(points(), 288); // a new choice draws nothing until Calculate Graph
    press(&form, "Command1");
    EXPECT_EQ(points(), 24);
}

TEST_F(GraphFormGui, SavesPngAndPdfAndPrintsThePdfsPictureOnThePage)
{
    fillDay(t, 50);
    press(&form, "Command1");
    for (const char* name : {"graph.png", "graph.pdf"}) {
        const QString file = t.path(QString::fromLatin1(name));
        t.dialogs.setNextFileName(file);
        press(&form, "SaveGraph");
        EXPECT_GT(QFileInfo(file).size(), 1000) << name;
    }
    EXPECT_TRUE(t.dialogs.shown.empty());

    const GraphPainter painter(t.ctx.locale);
    QPrinter printer(QPrinter::HighResolution); // as Print Graph makes it
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(t.path(QStringLiteral("printed.pdf")));
    ASSERT_TRUE(painter.print(*form.findChild<QCustomPlot*>(QStringLiteral("Graph1")), printer));
    const PdfText saved = pdfText(t.path(QStringLiteral("graph.pdf")));
    const PdfText printed = pdfText(printer.outputFileName());
    ASSERT_GT(saved.heights.size(), 5);
    QStringList words = saved.heights.keys(), printedWords = printed.heights.keys();
    words.sort();
    printedWords.sort();
    EXPECT_EQ(printedWords.join(QLatin1Char(' ')).toStdString(), words.join(QLatin1Char(' ')).toStdString());
    EXPECT_TRUE(QRectF(QPointF(), printed.page).contains(printed.span)) << "nothing cut off";
    // The saved picture enlarged to fill the page: every text in proportion.
    const double scale = printed.span.width() / saved.span.width();
    EXPECT_GT(printed.span.width(), printed.page.width() * 0.7);
    for (auto it = saved.heights.cbegin(); it != saved.heights.cend(); ++it)
        EXPECT_NEAR(printed.heights.value(it.key()) / it.value(), scale, scale * 0.05) << it.key().toStdString();
    EXPECT_EQ(painter.pointText(graphTime(QDateTime(QDate(2009, 1, 5), QTime(9, 3, 7))), 0.0833333333),
              "05/01/2009 09:03:07\n0.083333");
}

} // namespace
