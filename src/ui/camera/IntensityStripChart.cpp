// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/camera/IntensityStripChart.h"

#include "camera/IntensityHistory.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {
const QColor TraceColour(20, 70, 170);
const QColor TriggerColour(200, 30, 30);
const QColor RevolutionColour(0, 140, 60);
} // namespace

IntensityStripChart::IntensityStripChart(const IntensityHistory& history, QWidget* parent)
    : QWidget(parent), m_history(history)
{
    setObjectName(QStringLiteral("IntensityStripChart"));
    setAccessibleName(QStringLiteral("Image intensity chart"));
    setToolTip(QStringLiteral("Image intensity of the last 30 seconds. Set the Mark Triggering Level (red line) "
                              "so that only the mark lifts the trace above it; each green marker is one counted "
                              "revolution."));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    // Every pixel is painted, so the window behind need not be.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void IntensityStripChart::setTriggerLevel(qint32 level)
{
    if (level == m_triggerLevel)
        return;
    m_triggerLevel = level;
    update();
}

void IntensityStripChart::setReferenceLines(const QList<ReferenceLine>& lines)
{
    m_lines = lines;
    update();
}

void IntensityStripChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QFontMetrics fm = fontMetrics();
    const int labelWidth = fm.horizontalAdvance(QStringLiteral("-0000000")) + 6;
    const QRect plot = rect().adjusted(labelWidth, fm.height() + 6, -8, -(fm.height() + 6));
    if (plot.width() < 10 || plot.height() < 10)
        return;

    const int count = m_history.revolutions();
    const QString title = QStringLiteral("Image intensity, last %1 s: %2 revolution%3 counted")
                              .arg(m_history.windowSeconds())
                              .arg(count)
                              .arg(count == 1 ? QString() : QStringLiteral("s"));
    p.setPen(palette().text().color());
    p.drawText(QRect(plot.left(), 2, plot.width(), fm.height() + 2), Qt::AlignLeft | Qt::AlignVCenter, title);
    p.setPen(palette().mid().color());
    p.drawRect(plot.adjusted(0, 0, -1, -1));

    const std::vector<IntensityHistory::Column> columns = m_history.columns(plot.width());
    // The scale always holds the trigger level so the line never leaves the chart.
    double low = m_triggerLevel;
    double high = m_triggerLevel;
    for (const ReferenceLine& line : m_lines) {
        low = std::min<double>(low, line.level);
        high = std::max<double>(high, line.level);
    }
    for (const IntensityHistory::Column& c : columns)
        if (!c.empty) {
            low = std::min<double>(low, c.low);
            high = std::max<double>(high, c.high);
        }
    const double pad = std::max((high - low) * 0.08, 1.0);
    low -= pad;
    high += pad;
    auto yOf = [&](double v) { return plot.bottom() - (v - low) / (high - low) * (plot.height() - 1); };

    p.setPen(palette().text().color());
    const int labelRight = plot.left() - 4;
    for (double v : {high, low})
        p.drawText(QRect(0, int(yOf(v)) - fm.height() / 2, labelRight, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(qint64(std::llround(v))));
    const int seconds = int(m_history.windowSeconds());
    for (int s = 0; s <= seconds; s += 10) {
        const int x = plot.left() + int(double(seconds - s) / seconds * (plot.width() - 1));
        const QString text = s == 0 ? QStringLiteral("now") : QStringLiteral("-%1 s").arg(s);
        const int w = fm.horizontalAdvance(text);
        p.drawText(std::clamp(x - w / 2, plot.left(), plot.right() - w), plot.bottom() + fm.ascent() + 3, text);
    }

    p.setClipRect(plot);
    for (int x = 0; x < int(columns.size()); ++x)
        if (columns[std::size_t(x)].revolution) {
            const int px = plot.left() + x;
            p.setPen(QPen(RevolutionColour, 1));
            p.drawLine(px, plot.top(), px, plot.bottom());
            QPainterPath marker;
            marker.moveTo(px - 5, plot.top());
            marker.lineTo(px + 5, plot.top());
            marker.lineTo(px, plot.top() + 8);
            marker.closeSubpath();
            p.fillPath(marker, RevolutionColour);
        }

    // Each column is drawn as the range of its frames, stretched to meet the previous column so the trace
    // stays continuous whatever the frame rate.
    p.setPen(QPen(TraceColour, 1));
    const IntensityHistory::Column* previous = nullptr;
    for (int x = 0; x < int(columns.size()); ++x) {
        const IntensityHistory::Column& c = columns[std::size_t(x)];
        if (c.empty)
            continue;
        double from = c.low;
        double to = c.high;
        if (previous) {
            from = std::min<double>(from, previous->high);
            to = std::max<double>(to, previous->low);
        }
        const int px = plot.left() + x;
        p.drawLine(QPointF(px, yOf(from)), QPointF(px, yOf(to)));
        previous = &c;
    }

    for (const ReferenceLine& line : m_lines) {
        const double y = yOf(line.level);
        p.setPen(QPen(line.colour, 1, Qt::DotLine));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(line.colour);
        // At the old end, where the newest samples do not run under it.
        p.drawText(QRect(plot.left() + 4, int(y) - fm.height(), plot.width() - 8, fm.height()),
                   Qt::AlignLeft | Qt::AlignBottom, line.label);
    }

    const double triggerY = yOf(m_triggerLevel);
    p.setPen(QPen(TriggerColour, 1, Qt::DashLine));
    p.drawLine(QPointF(plot.left(), triggerY), QPointF(plot.right(), triggerY));
    p.setClipping(false);
    p.setPen(TriggerColour);
    const QString trigger = QString::number(m_triggerLevel);
    p.drawText(QRect(0, int(triggerY) - fm.height() / 2, labelRight, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
               trigger);

    if (m_history.samples().empty()) {
        p.setPen(palette().placeholderText().color());
        // Below the trigger line, which runs through the middle of an empty chart.
        const QRect lowerHalf(plot.left(), plot.center().y(), plot.width(), plot.height() / 2);
        p.drawText(lowerHalf, Qt::AlignCenter, QStringLiteral("Start the camera to see the image intensity here"));
    }
}
