// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/RepaintLimiter.h"

#include <QWidget>

RepaintLimiter::RepaintLimiter(QWidget& widget, int intervalMs) : m_widget(widget)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(intervalMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_widget, [this] {
        if (m_pending)
            request();
    });
}

void RepaintLimiter::request()
{
    if (!m_widget.isVisible())
        return;
    if (m_timer.isActive()) {
        m_pending = true;
        return;
    }
    m_pending = false;
    m_widget.update();
    m_timer.start();
}
