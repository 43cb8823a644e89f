// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/RegisterRegion.h"
#include "camera/DetectionGrid.h"
#include "ui/capture/RepaintLimiter.h"

#include <QImage>
#include <QWidget>
#include <optional>

// The live picture with the detection grid drawn over it: active cells tinted by sensitivity, a dot in the
// corner that turns red while the mark is signalled, and the register's region outlined with one box per wheel.
// With editing on, clicks and drags paint cells; with region drawing on, a drag draws the register's region. New
// pictures and mark changes repaint it at most 12.5 times a second, enough for the eye.
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
    // No region: nothing outlined.
    void setRegister(const std::optional<RegisterRegion>& region, int digits);
    void setDrawingRegion(bool on);
    QSize sizeHint() const override { return {320, 240}; }

signals:
    void gridEdited();
    // A region dragged out while region drawing is on, in fractions of the picture.
    void regionDrawn(const RegisterRegion& region);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void paintAt(QPointF pos);
    // The region being dragged out, else the one set.
    std::optional<RegisterRegion> shownRegister() const;
    QString overlayKey() const;
    void drawOverlay();
    void drawRegister(QPainter& p, const RegisterRegion& region) const;

    QImage m_image;
    DetectionGrid m_grid;
    QImage m_overlay; // the grid and register as drawn over the picture: those of m_overlayKey at the widget's size
    QString m_overlayKey;
    std::optional<RegisterRegion> m_register;
    int m_registerDigits = 0;
    bool m_drawingRegion = false;
    std::optional<QPoint> m_dragFrom;
    QPoint m_dragTo;
    bool m_markOn = false;
    bool m_editing = false;
    int m_brush = 9;
    RepaintLimiter m_repaint{*this, 80};
};
