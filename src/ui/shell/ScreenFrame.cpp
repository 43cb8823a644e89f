// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/ScreenFrame.h"

#include <QMdiSubWindow>

QWidget& screenFrame(QWidget& screen)
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(screen.parentWidget()))
        return *sub;
    return *screen.window();
}

void showScreenFrame(QWidget& screen)
{
    screen.show();
    screenFrame(screen).show();
}

void hideScreenFrame(QWidget& screen)
{
    screenFrame(screen).hide();
}

void closeScreenFrame(QWidget& screen)
{
    QWidget& frame = screenFrame(screen);
    // An MDI frame closes its screen with it; any other frame is closed after the screen.
    if (&frame != &screen && !qobject_cast<QMdiSubWindow*>(&frame))
        screen.close();
    frame.close();
}
