// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/CommandDispatcher.h"

#include <algorithm>

namespace {
const QString SetSuffix = QStringLiteral("/set");
} // namespace

QString CommandDispatcher::dispatch(const QString& base, const QString& topic, const QByteArray& payload,
                                    bool retained) const
{
    const QString refused = QStringLiteral("Command on %1 refused: ").arg(topic);
    // A retained command would be carried out again at every reconnect, undoing whatever came after it.
    if (retained)
        return refused + QStringLiteral("it was retained at the broker; send it without retain");
    const QString prefix = base + QLatin1Char('/');
    const QString name = topic.mid(prefix.size()).chopped(topic.endsWith(SetSuffix) ? SetSuffix.size() : 0);
    const auto command =
        std::find_if(m_handlers.begin(), m_handlers.end(), [&name](const Command& c) { return c.name == name; });
    if (!topic.startsWith(prefix) || command == m_handlers.end())
        return refused + QStringLiteral("there is no such command");
    const QString refusal = command->handler(payload);
    return refusal.isEmpty() ? QString() : refused + refusal;
}

QString CommandDispatcher::payloadIsNot(const QByteArray& payload, const QString& what)
{
    return QStringLiteral("\"%1\" is not %2").arg(QString::fromUtf8(payload.left(40)), what);
}
