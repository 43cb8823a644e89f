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

    // The refusal of a payload that is not what the command takes: "\"twelve\" is not a number of kWh".
    static QString payloadIsNot(const QByteArray& payload, const QString& what);

    void add(const QString& name, Handler handler) { m_handlers.push_back({name, std::move(handler)}); }
    // "" when carried out, otherwise the refusal, naming the topic. base: BASE of the topics.
    QString dispatch(const QString& base, const QString& topic, const QByteArray& payload, bool retained) const;

private:
    struct Command
    {
        QString name;
        Handler handler;
    };

    std::vector<Command> m_handlers;
};
