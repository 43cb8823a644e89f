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
    const auto active = [&](int c, int r) { return c >= 0 && r >= 0 && c < cols && r < rows && grid.isActive(c, r); };
    const auto x = [&](int c) { return area.left() + c * cw; };
    const auto y = [&](int r) { return area.top() + r * ch; };
    // A light tint that deepens a little with sensitivity: the disc and its mark stay readable under it.
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            if (active(c, r))
                p.fillRect(QRectF(x(c), y(r), cw, ch), QColor(0, 160, 255, 8 + grid.sensitivity(c, r) * 3));
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    for (int c = 0; c <= cols; ++c)
        p.drawLine(QPointF(x(c), area.top()), QPointF(x(c), area.bottom()));
    for (int r = 0; r <= rows; ++r)
        p.drawLine(QPointF(area.left(), y(r)), QPointF(area.right(), y(r)));
    // The watched area's outline is what shows where it is.
    p.setPen(QPen(QColor(0, 200, 255, 230), 2));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            if (!active(c, r))
                continue;
            if (!active(c - 1, r))
                p.drawLine(QPointF(x(c), y(r)), QPointF(x(c), y(r + 1)));
            if (!active(c + 1, r))
                p.drawLine(QPointF(x(c + 1), y(r)), QPointF(x(c + 1), y(r + 1)));
            if (!active(c, r - 1))
                p.drawLine(QPointF(x(c), y(r)), QPointF(x(c + 1), y(r)));
            if (!active(c, r + 1))
                p.drawLine(QPointF(x(c), y(r + 1)), QPointF(x(c + 1), y(r + 1)));
        }
}
