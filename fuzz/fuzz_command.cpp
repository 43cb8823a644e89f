// SPDX-License-Identifier: GPL-3.0-or-later
// An arbitrary topic and payload from the broker: whatever they hold, the refusal that goes to the status and the
// log is one line, and a quoted payload holds no character that could end or reorder one.
#include "FuzzServices.h"
#include "publish/CommandDispatcher.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype split = input.indexOf('\0');
    const QString topic = QString::fromUtf8(split < 0 ? input : input.left(split));
    const QByteArray payload = split < 0 ? QByteArray() : input.mid(split + 1);
    CommandDispatcher commands;
    commands.add(QStringLiteral("meter_reading"), [](const QByteArray& p) {
        return CommandDispatcher::payloadIsNot(p, QStringLiteral("a number of kWh"));
    });
    commands.add(
        QStringLiteral("tariff"), [](const QByteArray&) { return QString(); }, CommandDispatcher::Retained::Taken);
    const auto oneLine = [](const QString& text) {
        for (const QChar c : text)
            if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c.category() == QChar::Separator_Line ||
                c.category() == QChar::Separator_Paragraph)
                return false;
        return true;
    };
    for (const bool retained : {false, true})
        check(oneLine(commands.dispatch(QStringLiteral("wattsight/meter1"), topic, payload, retained)));
    check(oneLine(CommandDispatcher::quoted(payload)));
    return 0;
}
