// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/GraphSeries.h"
#include "ui/data/GraphPainter.h"
#include "ui/shell/BusyWindow.h"

#include <QWidget>

class QCustomPlot;
class QLineEdit;
class QListWidget;
class QMouseEvent;
class QPushButton;
struct MeteringContext;

// The energy history graph window: pick a quantity and a compaction factor, then "Calculate Graph".
class GraphForm : public QWidget
{
    Q_OBJECT
public:
    explicit GraphForm(MeteringContext& ctx, QWidget* parent = nullptr);

    // "Calculate Graph": the message when there is nothing to draw, otherwise the graph.
    void calculate();
    void refresh();
    void printGraph();
    void saveGraph();
    const GraphSeries& series() const { return m_series; }

private:
    void cleanCompaction();
    void stepCompaction(int delta);
    void showPointUnder(QMouseEvent* event);

    MeteringContext& m_ctx;
    GraphPainter m_painter;
    GraphSeries m_series;
    QListWidget* m_list = nullptr;
    QLineEdit* m_compaction = nullptr;
    QLineEdit* m_readings = nullptr;
    QCustomPlot* m_plot = nullptr;
    BusyWindow m_busy{*this};
    bool m_calculating = false;
};
