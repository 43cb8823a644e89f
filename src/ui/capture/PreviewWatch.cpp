// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/PreviewWatch.h"

#include "capture/CaptureComponent.h"

#include <QEvent>
#include <QWidget>

PreviewWatch::PreviewWatch(CaptureComponent& capture, QWidget& view) : QObject(&view), m_capture(capture)
{
    view.installEventFilter(this);
    setWatching(view.isVisible());
}

PreviewWatch::~PreviewWatch()
{
    setWatching(false);
}

bool PreviewWatch::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Show)
        setWatching(true);
    else if (event->type() == QEvent::Hide)
        setWatching(false);
    return false;
}

void PreviewWatch::setWatching(bool on)
{
    if (on == m_watching)
        return;
    m_watching = on;
    m_capture.watchPreview(on);
}
