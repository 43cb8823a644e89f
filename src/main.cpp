// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Clock.h"
#include "publish/MqttLibrary.h"
#include "service/CommandLine.h"
#include "service/ProgramVersion.h"
#include "service/ServiceNotifier.h"
#include "service/SignalWatch.h"
#include "ui/shell/WattsightApp.h"

#include <QApplication>
#include <QTimer>
#include <vector>

namespace {
// The arguments for the application object: the program's name and the display options; headless, Qt's
// offscreen display last, which needs no X or Wayland and wins over any other.
class QtArguments
{
public:
    QtArguments(const char* program, const CommandLine& command)
    {
        m_texts.push_back(program);
        for (const QString& a : command.qtArguments)
            m_texts.push_back(a.toLocal8Bit());
        if (command.headless)
            m_texts.insert(m_texts.end(), {"-platform", "offscreen"});
        for (QByteArray& t : m_texts)
            m_pointers.push_back(t.data());
        m_pointers.push_back(nullptr);
        count = int(m_texts.size());
    }
    char** values() { return m_pointers.data(); }

    int count = 0; // QApplication keeps a reference to it

private:
    std::vector<QByteArray> m_texts;
    std::vector<char*> m_pointers;
};

QStringList argumentsAfterProgram(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}
} // namespace

int main(int argc, char** argv)
{
    readLocalTimeZoneOnce();
    // Standard error is the program's log: what went wrong while no one was there to read a message.
    qSetMessagePattern(QStringLiteral("%{time yyyy-MM-dd hh:mm:ss} %{if-warning}warning: %{endif}%{message}"));
    const CommandLine command = CommandLine::parse(argumentsAfterProgram(argc, argv));
    if (command.action != CommandLine::Action::Run)
        return command.answer();
    // Caught from here on, so that a signal during start-up waits for the event loop instead of killing.
    SignalWatch signalWatch;

    QtArguments qtArguments(argv[0], command);
    QApplication app(qtArguments.count, qtArguments.values());
    QApplication::setApplicationName(QStringLiteral("Wattsight"));
    QApplication::setApplicationVersion(QLatin1String(ProgramVersion));
    // The main window's exit guard decides when the process ends, not the last window closing.
    QApplication::setQuitOnLastWindowClosed(false);
    // Ends after the windows and before the application object: the publisher's goodbye goes out once the
    // program has gone from the screen.
    MqttLibrary mqtt;

    ServiceNotifier service;
    WattsightApp::Options options;
    options.headless = command.headless;
    WattsightApp wattsight(command.dataFolder, options);
    wattsight.alive = [&service] { service.alive(); };
    if (!wattsight.Main())
        return wattsight.failureStatus();

    QObject::connect(&signalWatch, &SignalWatch::stopRequested, &app, [&service, &wattsight] {
        service.stopping();
        wattsight.leaveRunForResume();
        QCoreApplication::exit(0);
    });
    QObject::connect(&signalWatch, &SignalWatch::reloadRequested, &app, [&wattsight] { wattsight.reloadSettings(); });
    // Delivered once the event loop runs, where exit() ends it.
    QTimer::singleShot(0, &signalWatch, &SignalWatch::deliver);
    service.ready();
    return QApplication::exec();
}
