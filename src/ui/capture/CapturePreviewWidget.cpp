// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/CapturePreviewWidget.h"

#include "capture/GridPainter.h"

#include <QMouseEvent>
#include <QPainter>
#include <cstdlib>

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

void CapturePreviewWidget::setRegister(const std::optional<RegisterRegion>& region, int digits)
{
    m_register = region;
    m_registerDigits = digits;
    m_repaint.request();
}

void CapturePreviewWidget::setDrawingRegion(bool on)
{
    m_drawingRegion = on;
    m_dragFrom.reset();
    setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
    update();
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
    if (m_overlay.size() != size() || m_overlayKey != overlayKey())
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
    m_overlayKey = overlayKey();
    QPainter p(&m_overlay);
    paintDetectionGrid(p, m_overlay.rect(), m_grid);
    if (const std::optional<RegisterRegion> region = shownRegister())
        drawRegister(p, *region);
}

std::optional<RegisterRegion> CapturePreviewWidget::shownRegister() const
{
    if (!m_dragFrom)
        return m_register;
    // The picture is stretched over the whole widget, so fractions of the widget are fractions of the picture.
    const RegisterRegion dragged = RegisterRegion::of(QRect::span(*m_dragFrom, m_dragTo), size());
    if (dragged.width <= 0.0 || dragged.height <= 0.0)
        return std::nullopt;
    return dragged;
}

QString CapturePreviewWidget::overlayKey() const
{
    const std::optional<RegisterRegion> region = shownRegister();
    return m_grid.text() + QLatin1Char('|') + (region ? region->toString() : QString()) + QLatin1Char('|') +
           QString::number(m_registerDigits);
}

void CapturePreviewWidget::drawRegister(QPainter& p, const RegisterRegion& region) const
{
    // Amber, apart from the grid's white lines and blue cells; the dividers fainter than the outline.
    const QRectF box = region.in(size()).toRectF().adjusted(0.5, 0.5, -0.5, -0.5);
    const QColor amber(255, 190, 0);
    QColor faint = amber;
    faint.setAlpha(160);
    p.setPen(QPen(faint, 1));
    for (int wheel = 1; wheel < m_registerDigits; ++wheel) {
        const double x = box.left() + box.width() * wheel / m_registerDigits;
        p.drawLine(QPointF(x, box.top()), QPointF(x, box.bottom()));
    }
    p.setPen(QPen(amber, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box);
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
    if (!m_drawingRegion) {
        paintAt(e->position());
        return;
    }
    if (e->button() == Qt::LeftButton)
        m_dragFrom = m_dragTo = e->position().toPoint();
}

void CapturePreviewWidget::mouseMoveEvent(QMouseEvent* e)
{
    if (!(e->buttons() & Qt::LeftButton))
        return;
    if (!m_drawingRegion) {
        paintAt(e->position());
    } else if (m_dragFrom) {
        m_dragTo = e->position().toPoint();
        update();
    }
}

void CapturePreviewWidget::mouseReleaseEvent(QMouseEvent* e)
{
    if (!m_dragFrom || e->button() != Qt::LeftButton)
        return;
    m_dragTo = e->position().toPoint();
    const std::optional<RegisterRegion> drawn = shownRegister();
    const QPoint moved = m_dragTo - *m_dragFrom;
    m_dragFrom.reset();
    update();
    // A click, or a slip of the hand, draws nothing.
    if (drawn && std::abs(moved.x()) >= 2 && std::abs(moved.y()) >= 2)
        emit regionDrawn(*drawn);
}
