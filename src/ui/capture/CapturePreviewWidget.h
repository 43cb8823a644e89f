// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/DetectionGrid.h"
#include "ui/capture/RepaintLimiter.h"

#include <QImage>
#include <QWidget>

// The live picture with the detection grid drawn over it: active cells tinted by sensitivity, a dot in the
// corner that turns red while the mark is signalled. With editing on, clicks and drags paint cells. New pictures
// and mark changes repaint it at most 12.5 times a second, enough for the eye.
class CapturePreviewWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CapturePreviewWidget(QWidget* parent = nullptr);

    void setImage(const QImage& image);
    void setGrid(const DetectionGrid& grid);
    const DetectionGrid& grid() const { return m_grid; }
    void setMarkOn(bool on);
    void setEditing(bool on, int brush = 9);
    void setBrush(int value) { m_brush = value; }
    QSize sizeHint() const override { return {320, 240}; }

signals:
    void gridEdited();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    void paintAt(QPointF pos);
    void drawOverlay();

    QImage m_image;
    DetectionGrid m_grid;
    QImage m_overlay; // the grid as drawn over the picture: the grid m_overlayGrid at the widget's size
    QString m_overlayGrid;
    bool m_markOn = false;
    bool m_editing = false;
    int m_brush = 9;
    RepaintLimiter m_repaint{*this, 80};
};
