// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>

class QWidget;

// Repaints a widget at most once an interval however often it is asked: the first request paints at once,
// later ones within the interval become one repaint at its end. A hidden widget is not painted at all; it is
// painted whole when shown.
class RepaintLimiter
{
public:
    RepaintLimiter(QWidget& widget, int intervalMs);

    void request();

private:
    QWidget& m_widget;
    QTimer m_timer;
    bool m_pending = false;
};
