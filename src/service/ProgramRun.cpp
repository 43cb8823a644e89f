// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/ProgramRun.h"

#include "app/Clock.h"
#include "service/MeterService.h"
#include "service/ServiceNotifier.h"
#include "service/SignalWatch.h"

#include <QCoreApplication>
#include <QTimer>

namespace ProgramRun {

std::optional<int> prepare(int argc, char** argv, CommandLine& command)
{
    readLocalTimeZoneOnce();
    // Standard error is the program's log: what went wrong while no one was there to read a message.
    qSetMessagePattern(QStringLiteral("%{time yyyy-MM-dd hh:mm:ss} %{if-warning}warning: %{endif}%{message}"));
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    command = CommandLine::parse(arguments);
    if (command.action != CommandLine::Action::Run)
        return command.answer();
    return std::nullopt;
}

QtArguments::QtArguments(const char* program, const CommandLine& command, bool offscreen)
{
    m_texts.push_back(program);
    for (const QString& a : command.qtArguments)
        m_texts.push_back(a.toLocal8Bit());
    if (offscreen)
        m_texts.insert(m_texts.end(), {"-platform", "offscreen"});
    for (QByteArray& t : m_texts)
        m_pointers.push_back(t.data());
    m_pointers.push_back(nullptr);
    count = int(m_texts.size());
}

int untilStopped(MeterService& meter, ServiceNotifier& service, SignalWatch& signalWatch)
{
    QObject::connect(&signalWatch, &SignalWatch::stopRequested, &signalWatch, [&service, &meter] {
        service.stopping();
        meter.leaveRunForResume();
        QCoreApplication::exit(0);
    });
    QObject::connect(&signalWatch, &SignalWatch::reloadRequested, &signalWatch, [&meter] { meter.reloadSettings(); });
    // Delivered once the event loop runs, where exit() ends it.
    QTimer::singleShot(0, &signalWatch, &SignalWatch::deliver);
    service.ready();
    return QCoreApplication::exec();
}

} // namespace ProgramRun
