// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/BusyWindow.h"

#include "ui/shell/ScreenFrame.h"

#include <QCloseEvent>
#include <QWidget>
#include <utility>

BusyWindow::BusyWindow(QWidget& window) : m_window(window)
{
    // An MDI frame asks its screen first and stays open when the screen refuses.
    m_window.installEventFilter(this);
}

bool BusyWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && event->type() == QEvent::Close && busy()) {
        m_closeWanted = true;
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

BusyWindow::Work::Work(BusyWindow& busy) : m_busy(&busy)
{
    ++busy.m_depth;
}

BusyWindow::Work::~Work()
{
    if (!m_busy)
        return;
    if (--m_busy->m_depth == 0 && std::exchange(m_busy->m_closeWanted, false))
        closeScreenFrame(m_busy->m_window);
}
