// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/capture/RepaintLimiter.h"

#include <QColor>
#include <QList>
#include <QWidget>

class IntensityHistory;

// Draws the image intensity of the last seconds as a trace scrolling to the left, the trigger level as a
// line across it and a marker at every counted revolution. Whether the trace clears the line at each mark
// and stays below it in between is what tells a good trigger level; marker spacing shows the debounce.
class IntensityStripChart : public QWidget
{
    Q_OBJECT

public:
    explicit IntensityStripChart(const IntensityHistory& history, QWidget* parent = nullptr);

    // A level drawn across the chart beside the trigger line, with its name.
    struct ReferenceLine
    {
        qint32 level = 0;
        QColor colour;
        QString label;
    };

    // A frame was added to the history: the chart follows at a few repaints a second.
    void historyChanged() { m_repaint.request(); }
    void setTriggerLevel(qint32 level);
    void setReferenceLines(const QList<ReferenceLine>& lines);
    qint32 triggerLevel() const { return m_triggerLevel; }
    QSize sizeHint() const override { return {560, 150}; }
    QSize minimumSizeHint() const override { return {240, 110}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const IntensityHistory& m_history;
    qint32 m_triggerLevel = 0;
    QList<ReferenceLine> m_lines;
    RepaintLimiter m_repaint{*this, 200};
};
