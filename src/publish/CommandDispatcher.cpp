// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/CommandDispatcher.h"

#include <algorithm>

namespace {
const QString SetSuffix = QStringLiteral("/set");
constexpr qsizetype MaxPayloadCharacters = 40;
constexpr qsizetype MaxTopicCharacters = 200;

// Backslash, quote and every character that could end or reorder a line as JSON escapes; an ellipsis when cut.
QString escaped(QStringView text, qsizetype maxCharacters, const QString& quote)
{
    qsizetype end = std::min(text.size(), maxCharacters);
    if (end < text.size() && text[end].isLowSurrogate())
        --end;
    QString out = quote;
    for (const QChar c : text.first(end)) {
        switch (c.unicode()) {
        case u'"':
            out += QStringLiteral("\\\"");
            break;
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        default:
            switch (c.category()) {
            case QChar::Other_Control:
            case QChar::Other_Format: // e.g. a right-to-left override
            case QChar::Separator_Line:
            case QChar::Separator_Paragraph:
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
                break;
            default:
                out += c;
            }
        }
    }
    out += quote;
    if (end < text.size())
        out += QChar(0x2026);
    return out;
}
} // namespace

QString CommandDispatcher::dispatch(const QString& base, const QString& topic, const QByteArray& payload,
                                    bool retained) const
{
    const QString refused = QStringLiteral("Command on %1 refused: ").arg(printable(topic));
    const QString prefix = base + QLatin1Char('/');
    const QString name = topic.mid(prefix.size()).chopped(topic.endsWith(SetSuffix) ? SetSuffix.size() : 0);
    const auto command = find(name);
    const bool known = topic.startsWith(prefix) && command != m_handlers.end();
    if (retained && (!known || command->retained == Retained::Refused))
        return refused + QStringLiteral("it was retained at the broker; send it without retain");
    if (!known)
        return refused + QStringLiteral("there is no such command");
    const QString refusal = command->handler(payload);
    return refusal.isEmpty() ? QString() : refused + refusal;
}

std::vector<CommandDispatcher::Command>::const_iterator CommandDispatcher::find(const QString& name) const
{
    return std::find_if(m_handlers.begin(), m_handlers.end(), [&name](const Command& c) { return c.name == name; });
}

QString CommandDispatcher::carryOut(const QString& name, const QByteArray& payload) const
{
    const auto command = find(name);
    return command == m_handlers.end() ? QStringLiteral("there is no such command") : command->handler(payload);
}

QString CommandDispatcher::payloadIsNot(const QByteArray& payload, const QString& what)
{
    return QStringLiteral("%1 is not %2").arg(quoted(payload), what);
}

QString CommandDispatcher::quoted(const QByteArray& payload)
{
    // A character takes at most four bytes: more than that many are cut anyway.
    return escaped(QString::fromUtf8(payload.left(4 * MaxPayloadCharacters + 4)), MaxPayloadCharacters,
                   QStringLiteral("\""));
}

QString CommandDispatcher::printable(const QString& topic)
{
    return escaped(topic, MaxTopicCharacters, QString());
}
