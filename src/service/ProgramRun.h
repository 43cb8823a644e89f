// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "service/CommandLine.h"

#include <QByteArray>
#include <optional>
#include <vector>

class MeterService;
class ServiceNotifier;
class SignalWatch;

// What the desktop and the headless program both do around their application object.
namespace ProgramRun {

// The time zone read, the log's line format set, and the command line read. A value when the program ends at
// once with that status (help, version, a mistake).
std::optional<int> prepare(int argc, char** argv, CommandLine& command);

// The arguments for the application object: the program's name and the display options; headless, Qt's
// offscreen display last, which needs no X or Wayland and wins over any other.
class QtArguments
{
public:
    QtArguments(const char* program, const CommandLine& command, bool offscreen);
    char** values() { return m_pointers.data(); }

    int count = 0; // the application object keeps a reference to it

private:
    std::vector<QByteArray> m_texts;
    std::vector<char*> m_pointers;
};

// Runs the event loop until a stop signal, which leaves a logging run for the next start to resume; a reload
// signal reads the settings again. Tells the service manager it is ready first.
int untilStopped(MeterService& meter, ServiceNotifier& service, SignalWatch& signalWatch);

} // namespace ProgramRun
