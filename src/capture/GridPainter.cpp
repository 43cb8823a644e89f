// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/GridPainter.h"

#include <QPainter>

void paintDetectionGrid(QPainter& p, const QRectF& area, const DetectionGrid& grid)
{
    const int cols = grid.columns();
    const int rows = grid.rows();
    if (cols <= 0 || rows <= 0)
        return;
    const double cw = area.width() / cols;
    const double ch = area.height() / rows;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const int s = grid.sensitivity(c, r);
            if (s > 0)
                p.fillRect(QRectF(area.left() + c * cw, area.top() + r * ch, cw, ch), QColor(0, 160, 255, 20 + s * 8));
        }
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    for (int c = 0; c <= cols; ++c)
        p.drawLine(QPointF(area.left() + c * cw, area.top()), QPointF(area.left() + c * cw, area.bottom()));
    for (int r = 0; r <= rows; ++r)
        p.drawLine(QPointF(area.left(), area.top() + r * ch), QPointF(area.right(), area.top() + r * ch));
}
