// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/StartHint.h"

#include "app/AppContext.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <algorithm>

StartHint::StartHint(const AppContext& ctx, QMdiArea& area) : QLabel(area.viewport()), m_ctx(ctx), m_area(area)
{
    setObjectName(QStringLiteral("lblStartHint"));
    setText(QStringLiteral(
        "<p>No camera yet? Try Wattsight with the simulated meter: Setup &gt; Camera Setup, Start/Stop Camera, "
        "choose \"Simulated meter\" and press Start Camera.</p>"
        "<p>With a camera aimed at the meter's disc: start it on Camera Setup and press Find Mark, which sets up "
        "the mark detection from the picture.</p>"));
    setWordWrap(true);
    setAlignment(Qt::AlignCenter);
    setMaximumWidth(520);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setForegroundRole(QPalette::WindowText);
    area.viewport()->installEventFilter(this);
    // Activation changes come before a closing window has gone; look once it has.
    connect(&area, &QMdiArea::subWindowActivated, this,
            [this] { QMetaObject::invokeMethod(this, &StartHint::refresh, Qt::QueuedConnection); });
    refresh();
}

void StartHint::refresh()
{
    bool screenShown = false;
    for (const QMdiSubWindow* sub : m_area.subWindowList())
        screenShown = screenShown || sub->isVisible();
    const bool running = m_ctx.blnGlobalCameraRunning || m_ctx.blnGlobalTripRunning || m_ctx.blnGlobalLoggingRunning;
    setVisible(!screenShown && !running);
    centre();
}

bool StartHint::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_area.viewport())
        return QLabel::eventFilter(watched, event);
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
        centre();
    if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildRemoved)
        QMetaObject::invokeMethod(this, &StartHint::refresh, Qt::QueuedConnection);
    return QLabel::eventFilter(watched, event);
}

void StartHint::centre()
{
    const QSize size = sizeHint().boundedTo(maximumSize());
    const int w = std::min(maximumWidth(), std::max(m_area.viewport()->width() - 40, 200));
    const int h = heightForWidth(w) > 0 ? heightForWidth(w) : size.height();
    setGeometry((m_area.viewport()->width() - w) / 2, (m_area.viewport()->height() - h) / 2, w, h);
}
