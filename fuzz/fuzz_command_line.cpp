// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a command line (arguments separated by NUL): every line is either run, helped, versioned
// or refused with a reason, and a run always has a data folder.
#include "FuzzServices.h"
#include "service/CommandLine.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\0');
    QStringList arguments;
    for (const QByteArray& part : parts)
        arguments << QString::fromLocal8Bit(part);
    const CommandLine line = CommandLine::parse(arguments);
    check((line.action == CommandLine::Action::Mistake) == !line.mistake.isEmpty());
    if (line.action == CommandLine::Action::Run)
        check(!line.dataFolder.isEmpty());
    return 0;
}
