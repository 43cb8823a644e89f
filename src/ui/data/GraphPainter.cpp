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
    QCPPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    // Lay the plot out at screen size and scale it onto the page, keeping its proportions.
    const int width = plot.width() > 0 ? plot.width() : 900;
    const int height = plot.height() > 0 ? plot.height() : 600;
    const double scale = std::min(page.width() / width, page.height() / height);
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    painter.setMode(QCPPainter::pmNonCosmetic); // lines scale with the page instead of printing as hairlines
    painter.scale(scale, scale);
    plot.toPainter(&painter, width, height);
    painter.end();
    return true;
}

bool GraphPainter::save(QCustomPlot& plot, const QString& fileName) const
{
    if (fileName.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        return plot.savePdf(fileName);
    return plot.savePng(fileName);
}

QString GraphPainter::pointText(double time, double value) const
{
    const QDateTime when = graphTimeToDateTime(time);
    const QString point = m_locale.decimalPoint();
    return m_dates.format(when) + QLatin1Char('\n') +
           TextFormat::formatGeneral(TextFormat::roundToPlaces(value, 6),
                                     point.isEmpty() ? QLatin1Char('.') : point.at(0));
}
