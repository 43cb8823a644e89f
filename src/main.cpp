// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program. Started with --headless it becomes the headless program beside it, which loads no widgets.
#include "publish/MqttLibrary.h"
#include "service/ProgramRun.h"
#include "service/ProgramVersion.h"
#include "service/ServiceNotifier.h"
#include "service/SignalWatch.h"
#include "ui/shell/WattsightApp.h"

#include <QApplication>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {
// Replaces this process with the headless program in the same folder, with the same arguments, so that the
// service manager keeps watching the same process. Returns only when that failed.
int becomeHeadless(char** argv)
{
    const QString program =
        QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', 0, -2) + "/wattsight-headless";
    const QByteArray path = program.toLocal8Bit();
    execv(path.constData(), argv);
    std::fprintf(stderr, "Cannot start the headless program %s: %s\n", path.constData(), std::strerror(errno));
    return 1;
}

// Qt's platform plugin chosen by the environment or the command line; without one, X or Wayland is needed.
bool displayNamed(const CommandLine& command)
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || command.qtArguments.contains(QStringLiteral("-platform"));
}
} // namespace

int main(int argc, char** argv)
{
    CommandLine command;
    if (const std::optional<int> status = ProgramRun::prepare(argc, argv, command))
        return *status;
    if (command.headless)
        return becomeHeadless(argv);
    if (!displayNamed(command)) {
        std::fprintf(stderr, "Wattsight found no display (DISPLAY and WAYLAND_DISPLAY are not set); to run it "
                             "without one, as a service beside the meter, start it with --headless.\n");
        return CommandLine::UsageStatus;
    }
    // Caught from here on, so that a signal during start-up waits for the event loop instead of killing.
    SignalWatch signalWatch;

    ProgramRun::QtArguments qtArguments(argv[0], command, false);
    QApplication app(qtArguments.count, qtArguments.values());
    QApplication::setApplicationName(QStringLiteral("Wattsight"));
    QApplication::setApplicationVersion(QLatin1String(ProgramVersion));
    // The main window's exit guard decides when the process ends, not the last window closing.
    QApplication::setQuitOnLastWindowClosed(false);
    // Ends after the windows and before the application object: the publisher's goodbye goes out once the
    // program has gone from the screen.
    MqttLibrary mqtt;

    ServiceNotifier service;
    WattsightApp wattsight(command.dataFolder, WattsightApp::Options{});
    wattsight.alive = [&service] { service.alive(); };
    if (!wattsight.Main())
        return wattsight.failureStatus();
    return ProgramRun::untilStopped(wattsight, service, signalWatch);
}
