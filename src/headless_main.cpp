// SPDX-License-Identifier: GPL-3.0-or-later
// The headless program: the meter service without a window, on Qt's offscreen display, with no widget library
// loaded. Its messages go to the log.
#include "app/Clock.h"
#include "app/EventPump.h"
#include "app/FileIo.h"
#include "app/LoggedDialogs.h"
#include "publish/MqttLibrary.h"
#include "service/MeterService.h"
#include "service/ProgramRun.h"
#include "service/ProgramVersion.h"
#include "service/ServiceNotifier.h"
#include "service/SignalWatch.h"

#include <QGuiApplication>

int main(int argc, char** argv)
{
    CommandLine command;
    if (const std::optional<int> status = ProgramRun::prepare(argc, argv, command))
        return *status;
    // Caught from here on, so that a signal during start-up waits for the event loop instead of killing.
    SignalWatch signalWatch;

    // Pictures and the camera need a GUI application; the offscreen display needs no X or Wayland.
    ProgramRun::QtArguments qtArguments(argv[0], command, true);
    QGuiApplication app(qtArguments.count, qtArguments.values());
    QGuiApplication::setApplicationName(QStringLiteral("Wattsight"));
    QGuiApplication::setApplicationVersion(QLatin1String(ProgramVersion));
    // Ends before the application object: the publisher's goodbye goes out as the program ends.
    MqttLibrary mqtt;

    SystemClock clock;
    QtEventPump pump;
    LoggedDialogs dialogs;
    DiskFileIo files;
    ServiceNotifier service;
    MeterService meter(Services{clock, pump, dialogs, files}, command.dataFolder, true);
    meter.alive = [&service] { service.alive(); };
    if (!meter.start())
        return meter.failureStatus();
    return ProgramRun::untilStopped(meter, service, signalWatch);
}
