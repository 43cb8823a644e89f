// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

// The commands the meter takes over MQTT, each on BASE/<name>/set. Everything under BASE/+/set is listened to,
// so a command that is not known is answered with a refusal rather than silently lost.
class CommandDispatcher
{
public:
    // Carries out the command; "" when done, otherwise why it was refused.
    using Handler = std::function<QString(const QByteArray& payload)>;
    // A command the broker kept as retained is refused: it would be carried out again at every reconnect, undoing
    // whatever came after it. One that says a state (the tariff in force) may be taken: saying it again changes
    // nothing.
    enum class Retained
    {
        Refused,
        Taken
    };

    // The refusal of a payload that is not what the command takes: "\"twelve\" is not a number of kWh".
    static QString payloadIsNot(const QByteArray& payload, const QString& what);
    // The payload in double quotes, escaped as a JSON string and cut to its first 40 characters (an ellipsis after
    // the quote says so): whatever a sender puts in cannot forge a line of the log.
    static QString quoted(const QByteArray& payload);
    // The topic escaped the same way, without the quotes.
    static QString printable(const QString& topic);

    void add(const QString& name, Handler handler, Retained retained = Retained::Refused)
    {
        m_handlers.push_back({name, std::move(handler), retained});
    }
    bool has(const QString& name) const { return find(name) != m_handlers.end(); }
    // The named command, carried out: "" when done, otherwise why not, without the topic.
    QString carryOut(const QString& name, const QByteArray& payload) const;
    // "" when carried out, otherwise the refusal, naming the topic. base: BASE of the topics.
    QString dispatch(const QString& base, const QString& topic, const QByteArray& payload, bool retained) const;

private:
    struct Command
    {
        QString name;
        Handler handler;
        Retained retained;
    };

    std::vector<Command>::const_iterator find(const QString& name) const;

    std::vector<Command> m_handlers;
};
