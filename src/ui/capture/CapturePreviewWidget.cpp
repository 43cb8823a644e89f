// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/CapturePreviewWidget.h"

#include "capture/GridPainter.h"

#include <QMouseEvent>
#include <QPainter>

CapturePreviewWidget::CapturePreviewWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CapturePreview"));
    setMinimumSize(160, 120);
    // Every pixel is painted, so the window behind need not be.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CapturePreviewWidget::setImage(const QImage& image)
{
    m_image = image;
    m_repaint.request();
}

void CapturePreviewWidget::setGrid(const DetectionGrid& grid)
{
    m_grid = grid;
    m_repaint.request();
}

void CapturePreviewWidget::setMarkOn(bool on)
{
    if (on == m_markOn)
        return;
    m_markOn = on;
    m_repaint.request();
}

void CapturePreviewWidget::setEditing(bool on, int brush)
{
    m_editing = on;
    m_brush = brush;
}

void CapturePreviewWidget::paintEvent(QPaintEvent*)
{
    // Plain blits only: the painter shares tall fills and lines out to a thread pool and waits for it, which
    // at the live view's rate costs more than the drawing, so the grid is drawn once into an overlay.
    QPainter p(this);
    if (m_image.isNull())
        p.fillRect(rect(), Qt::black);
    else
        p.drawImage(rect(), m_image);
    if (m_overlay.size() != size() || m_overlayGrid != m_grid.text())
        drawOverlay();
    p.drawImage(0, 0, m_overlay);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::white);
    p.setBrush(m_markOn ? QColor(230, 30, 30) : QColor(40, 40, 40));
    p.drawEllipse(QRectF(width() - 22, 6, 16, 16));
}

void CapturePreviewWidget::drawOverlay()
{
    m_overlay = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    m_overlay.fill(Qt::transparent);
    m_overlayGrid = m_grid.text();
    QPainter p(&m_overlay);
    paintDetectionGrid(p, m_overlay.rect(), m_grid);
}

void CapturePreviewWidget::paintAt(QPointF pos)
{
    if (!m_editing || m_grid.columns() == 0 || m_grid.rows() == 0)
        return;
    const int c = int(pos.x() * m_grid.columns() / std::max(width(), 1));
    const int r = int(pos.y() * m_grid.rows() / std::max(height(), 1));
    if (m_grid.sensitivity(c, r) == m_brush || c < 0 || r < 0 || c >= m_grid.columns() || r >= m_grid.rows())
        return;
    m_grid.setSensitivity(c, r, m_brush);
    update();
    emit gridEdited();
}

void CapturePreviewWidget::mousePressEvent(QMouseEvent* e)
{
    paintAt(e->position());
}

void CapturePreviewWidget::mouseMoveEvent(QMouseEvent* e)
{
    if (e->buttons() & Qt::LeftButton)
        paintAt(e->position());
}
