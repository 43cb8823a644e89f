// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/data/GraphForm.h"

#include "app/Dialogs.h"
#include "app/EventPump.h"
#include "metering/MeteringContext.h"
#include "ui/setup/FieldCaption.h"
#include "ui/shell/ScreenFrame.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <qcustomplot.h>

GraphForm::GraphForm(MeteringContext& ctx, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx), m_painter(ctx.locale)
{
    setObjectName(QStringLiteral("GraphForm"));
    setWindowTitle(QStringLiteral("View Logged Data Graph"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* label1 = new QLabel(QStringLiteral("Data to display"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->addItems(graphTypeListTexts());
    m_list->setCurrentRow(0);
    m_list->setToolTip(
        QStringLiteral("Select the type of graph you require. You must press Calculate Graph to view it"));
    // All eight texts in full, without scroll bars.
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setFixedHeight(m_list->sizeHintForRow(0) * m_list->count() + 2 * m_list->frameWidth() + 4);
    m_list->setMinimumWidth(m_list->sizeHintForColumn(0) + 2 * m_list->frameWidth() + 8);
    label1->setBuddy(m_list);
    m_list->setAccessibleName(label1->text()); // a list's name is not taken from its caption

    m_compaction = new QLineEdit(QStringLiteral("1"), this);
    m_compaction->setObjectName(QStringLiteral("edtCompaction"));
    m_compaction->setToolTip(
        QStringLiteral("Combines readings for selected number of logging periods. Can give a smoother less "
                       "cluttered view of your data. Press Calculate Graph to view."));
    m_compaction->setMaximumWidth(80);
    auto* upDown = new QWidget(this);
    upDown->setObjectName(QStringLiteral("UpDownCompaction"));
    auto* up = new QToolButton(upDown);
    up->setArrowType(Qt::UpArrow);
    up->setAccessibleName(QStringLiteral("Increase compaction"));
    auto* down = new QToolButton(upDown);
    down->setArrowType(Qt::DownArrow);
    down->setAccessibleName(QStringLiteral("Decrease compaction"));
    auto* upDownLayout = new QHBoxLayout(upDown);
    upDownLayout->setContentsMargins(0, 0, 0, 0);
    upDownLayout->setSpacing(0);
    upDownLayout->addWidget(up);
    upDownLayout->addWidget(down);
    auto* compactionRow = new QHBoxLayout;
    compactionRow->addWidget(m_compaction);
    compactionRow->addWidget(upDown);
    compactionRow->addStretch();
    auto* label5 = new QLabel(QStringLiteral("(max. value = 1/3 logged readings)"), this);
    label5->setObjectName(QStringLiteral("Label5"));

    m_readings = new QLineEdit(this);
    m_readings->setObjectName(QStringLiteral("LoggedReadings"));
    m_readings->setReadOnly(true);
    m_readings->setMaximumWidth(120);
    m_readings->setToolTip(
        QStringLiteral("Shows total number of readings logged to memory (see logging interval setting). Press "
                       "Refresh to see latest count of logging events."));

    auto* form = new QFormLayout;
    form->setRowWrapPolicy(QFormLayout::WrapAllRows);
    auto* label3 = new QLabel(QStringLiteral("Compact data by a factor of"), this);
    label3->setObjectName(QStringLiteral("Label3"));
    form->addRow(label3, compactionRow);
    label3->setBuddy(m_compaction);
    form->addRow(label5);
    auto* label4 = new QLabel(QStringLiteral("Number of logged readings"), this);
    label4->setObjectName(QStringLiteral("Label4"));
    form->addRow(label4, m_readings);
    captionField(label4, m_readings);

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    QPushButton* calculateButton = button("Command1", QStringLiteral("Calculate Graph"));
    QPushButton* refreshButton = button("Command4", QStringLiteral("Refresh"));
    QPushButton* printButton = button("Command3", QStringLiteral("Print Graph"));
    QPushButton* saveButton = button("SaveGraph", QStringLiteral("Save Graph..."));
    QPushButton* closeButton = button("Command2", QStringLiteral("Close"));
    calculateButton->setDefault(true);

    auto* controls = new QVBoxLayout;
    controls->addWidget(label1);
    controls->addWidget(m_list);
    controls->addLayout(form);
    controls->addWidget(calculateButton);
    controls->addWidget(refreshButton);
    controls->addStretch();
    controls->addWidget(printButton);
    controls->addWidget(saveButton);
    controls->addWidget(closeButton);

    m_plot = new QCustomPlot(this);
    m_plot->setObjectName(QStringLiteral("Graph1"));
    m_plot->setToolTip(QStringLiteral("Shows data as a graph. Click mouse button and drag to select area of "
                                      "interest. Hover over part of graph to see readings in this place."));
    m_plot->setMinimumSize(640, 420);
    m_plot->setSelectionRectMode(QCP::srmZoom);
    m_plot->setInteraction(QCP::iRangeZoom, true);
    m_plot->setMouseTracking(true);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(m_plot, 1);

    m_painter.draw(*m_plot, m_series);
    refresh();

    connect(m_compaction, &QLineEdit::textChanged, this, &GraphForm::cleanCompaction);
    connect(up, &QToolButton::clicked, this, [this] { stepCompaction(1); });
    connect(down, &QToolButton::clicked, this, [this] { stepCompaction(-1); });
    connect(calculateButton, &QPushButton::clicked, this, &GraphForm::calculate);
    connect(refreshButton, &QPushButton::clicked, this, &GraphForm::refresh);
    connect(printButton, &QPushButton::clicked, this, &GraphForm::printGraph);
    connect(saveButton, &QPushButton::clicked, this, &GraphForm::saveGraph);
    connect(closeButton, &QPushButton::clicked, this, [this] { closeScreenFrame(*this); });
    connect(m_plot, &QCustomPlot::mouseMove, this, &GraphForm::showPointUnder);
    // Back to the whole graph after zooming into an area.
    connect(m_plot, &QCustomPlot::mouseDoubleClick, this, [this] { m_painter.draw(*m_plot, m_series); });
}

void GraphForm::cleanCompaction()
{
    const QString cleaned = cleanCompactionText(m_compaction->text(), m_ctx.varGlobalDataArray.pointer() - 1);
    if (cleaned != m_compaction->text()) {
        const QSignalBlocker block(m_compaction);
        m_compaction->setText(cleaned);
    }
}

void GraphForm::stepCompaction(int delta)
{
    const qint64 next = std::max<qint64>(1, m_compaction->text().toLongLong() + delta);
    m_compaction->setText(QString::number(next));
}

void GraphForm::refresh()
{
    m_readings->setText(QString::number(m_ctx.varGlobalDataArray.pointer() - 1));
}

void GraphForm::calculate()
{
    if (m_calculating)
        return; // a click that arrived while the calculation let events through
    const DataArray& data = m_ctx.varGlobalDataArray;
    if (data.pointer() < 2) {
        m_ctx.services.dialogs.message(QStringLiteral("No Data to Display"));
        return;
    }
    // The calculation lets events through: a close meanwhile waits until the graph is drawn.
    const BusyWindow::Work work(m_busy);
    m_calculating = true;
    const auto types = graphTypes(m_ctx.settings);
    const int row = std::clamp(m_list->currentRow(), 0, int(types.size()) - 1);
    EventPump& pump = m_ctx.services.pump;
    m_series = CalculateGraph(data, data.pointer() - 1, types[size_t(row)], m_compaction->text().toLongLong(),
                              [&pump] { pump.processEvents(); });
    m_painter.draw(*m_plot, m_series);
    m_calculating = false;
}

void GraphForm::printGraph()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Print Graph"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!m_painter.print(*m_plot, printer))
        m_ctx.services.dialogs.message(QStringLiteral("The graph could not be printed."), Dialogs::Buttons::Ok,
                                       Dialogs::Icon::Exclamation);
}

void GraphForm::saveGraph()
{
    Dialogs::FileRequest request;
    request.title = QStringLiteral("Save Graph");
    request.initialFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    request.fileName = QStringLiteral("Graph.png");
    request.defaultExtension = QStringLiteral("png");
    request.filter = QStringLiteral("Images and documents (*.png *.pdf)");
    const QString fileName = m_ctx.services.dialogs.saveFileName(request);
    if (fileName.isEmpty())
        return;
    if (!m_painter.save(*m_plot, fileName))
        m_ctx.services.dialogs.message(QStringLiteral("The graph could not be saved to ") + fileName,
                                       Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
}

void GraphForm::showPointUnder(QMouseEvent* event)
{
    QCPGraph* graph = m_plot->graphCount() > 0 ? m_plot->graph(0) : nullptr;
    if (!graph || graph->data()->isEmpty())
        return;
    const double key = m_plot->xAxis->pixelToCoord(event->position().x());
    auto it = graph->data()->findBegin(key, false);
    if (it != graph->data()->constBegin())
        --it; // the point just left of the mouse may be the nearer one
    auto best = graph->data()->constEnd();
    double bestDistance = 12.0; // pixels
    for (int i = 0; i < 3 && it != graph->data()->constEnd(); ++i, ++it) {
        const QPointF p(m_plot->xAxis->coordToPixel(it->key), m_plot->yAxis->coordToPixel(it->value));
        const double distance = QLineF(p, event->position()).length();
        if (distance < bestDistance) {
            bestDistance = distance;
            best = it;
        }
    }
    if (best == graph->data()->constEnd()) {
        QToolTip::hideText();
        return;
    }
    QToolTip::showText(event->globalPosition().toPoint(), m_painter.pointText(best->key, best->value), m_plot);
}
