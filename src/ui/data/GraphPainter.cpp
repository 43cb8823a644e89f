// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/data/GraphPainter.h"

#include "data/GraphSeries.h"

#include <QPrinter>
#include <qcustomplot.h>

namespace {
QFont boldFont()
{
    QFont font;
    font.setPointSize(11);
    font.setBold(true);
    return font;
}
// The plot as the window lays it out; a usual window's size before it was ever shown.
QSize layoutSize(const QCustomPlot& plot)
{
    return plot.width() > 0 && plot.height() > 0 ? plot.size() : QSize(900, 600);
}
} // namespace

void GraphPainter::draw(QCustomPlot& plot, const GraphSeries& series) const
{
    const QColor white(255, 255, 255);
    const QColor lightGrey(220, 220, 220);
    const QFont font = boldFont();

    plot.clearGraphs();
    plot.clearItems();
    if (plot.plotLayout()->rowCount() > 1)
        plot.plotLayout()->remove(plot.plotLayout()->element(0, 0));
    plot.plotLayout()->simplify();

    plot.setBackground(white);
    plot.axisRect()->setBackground(white);
    plot.plotLayout()->insertRow(0);
    auto* title = new QCPTextElement(&plot, series.graphTitle, font);
    title->setObjectName(QStringLiteral("GraphTitle"));
    plot.plotLayout()->addElement(0, 0, title);

    for (QCPAxis* axis : {plot.xAxis, plot.yAxis}) {
        axis->grid()->setPen(QPen(lightGrey, 1));
        axis->grid()->setSubGridVisible(false);
        axis->setLabelFont(font);
        axis->setTickLabelFont(QFont(font.family(), 9));
    }
    plot.yAxis->setLabel(series.yAxisTitle);
    plot.xAxis->setLabel(QStringLiteral(" "));

    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat(QStringLiteral("h:mm\nMMM dd"));
    ticker->setDateTimeSpec(Qt::UTC); // graphTime() counts wall-clock time as UTC
    ticker->setTickCount(5);
    plot.xAxis->setTicker(ticker);

    QCPGraph* graph = plot.addGraph();
    // A wider pen makes a million-point replot take seconds instead of milliseconds.
    graph->setPen(QPen(QColor(0, 70, 170), 1));
    if (series.size() <= 200)
        graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 5));
    QVector<double> keys(series.times.begin(), series.times.end());
    QVector<double> values(series.values.begin(), series.values.end());
    graph->setData(keys, values, true);

    if (series.size() > 0) {
        const double first = series.times.front();
        const double last = series.times.back();
        // A single point still needs an axis of some width to be seen.
        plot.xAxis->setRange(first == last ? first - 300 : first, first == last ? last + 300 : last);
        bool found = false;
        QCPRange y = graph->getValueRange(found);
        if (!found || y.size() == 0)
            y = QCPRange(y.lower - 1, y.upper + 1);
        plot.yAxis->setRange(y.lower - y.size() * 0.05, y.upper + y.size() * 0.05);
    } else {
        plot.xAxis->setRange(0, 0);
    }

    auto* note = new QCPItemText(&plot);
    note->setObjectName(QStringLiteral("GraphNote"));
    note->position->setType(QCPItemPosition::ptAxisRectRatio);
    note->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    note->position->setCoords(0.01, 0.02);
    note->setText(NoteText);
    note->setFont(font);
    note->setColor(Qt::black);
    note->setBrush(QColor(255, 255, 255, 210)); // stays readable over the curve
    note->setClipToAxisRect(true);

    plot.replot();
}

bool GraphPainter::print(QCustomPlot& plot, QPrinter& printer) const
{
    // Laid out at the printer's resolution, every font would be sized for (say) 1200 dpi and then scaled
    // with the page a second time. Laid out at the screen's, the page is the window's picture enlarged.
    printer.setResolution(plot.logicalDpiY());
    QCPPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QSize size = layoutSize(plot);
    const double scale = std::min(printer.width() / double(size.width()), printer.height() / double(size.height()));
    painter.translate((printer.width() - size.width() * scale) / 2, (printer.height() - size.height() * scale) / 2);
    painter.scale(scale, scale);
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    painter.setMode(QCPPainter::pmNonCosmetic); // lines scale with the page instead of printing as hairlines
    plot.toPainter(&painter, size.width(), size.height());
    return painter.end();
}

bool GraphPainter::save(QCustomPlot& plot, const QString& fileName) const
{
    if (!fileName.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        return plot.savePng(fileName);
    // One page the size of the window's plot, printed as a printer prints it.
    QPrinter pdf;
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(fileName);
    const QSize size = layoutSize(plot);
    pdf.setPageLayout(QPageLayout(QPageSize(QSizeF(size), QPageSize::Point, QString(), QPageSize::ExactMatch),
                                  QPageLayout::Portrait, QMarginsF()));
    pdf.setFullPage(true);
    return print(plot, pdf);
}

QString GraphPainter::pointText(double time, double value) const
{
    const QDateTime when = graphTimeToDateTime(time);
    const QString point = m_locale.decimalPoint();
    return m_dates.format(when) + QLatin1Char('\n') +
           TextFormat::formatGeneral(TextFormat::roundToPlaces(value, 6),
                                     point.isEmpty() ? QLatin1Char('.') : point.at(0));
}
