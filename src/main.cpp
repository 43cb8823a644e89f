// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Clock.h"
#include "publish/MqttLibrary.h"
#include "ui/shell/WattsightApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    readLocalTimeZoneOnce();
    // Standard error is the program's log: what went wrong while no one was there to read a message.
    qSetMessagePattern(QStringLiteral("%{time yyyy-MM-dd hh:mm:ss} %{if-warning}warning: %{endif}%{message}"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wattsight"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.5"));
    // The main window's exit guard decides when the process ends, not the last window closing.
    QApplication::setQuitOnLastWindowClosed(false);
    // Ends after the windows and before the application object: the publisher's goodbye goes out once the
    // program has gone from the screen.
    MqttLibrary mqtt;

    WattsightApp wattsight;
    if (!wattsight.Main())
        return 1;
    return QApplication::exec();
}
