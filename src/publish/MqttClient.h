// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publish/RetainedSink.h"

#include <QObject>
#include <memory>
#include <thread>

struct MqttOptions
{
    QString host{};
    int port = 1883;
    QString username{}; // empty: no user name and no password are sent
    QString password{};
    bool useTls = false;
    QString caFile{}; // empty: the system's certificate store
    QString clientId{};
    // The broker publishes this (retained) when the connection is lost without a goodbye; the client
    // publishes it itself when it closes cleanly. Empty topic: none.
    QString willTopic{};
    QByteArray willPayload{};
    // A message with this payload on this topic asks for every retained message again (a restarted
    // Home Assistant announcing itself). Empty topic: nothing is subscribed.
    QString republishTopic{};
    QByteArray republishPayload{};
    // Subscribed after every (re)connect; what arrives on it comes as commandReceived. Empty: nothing.
    QString commandFilter{};
    // False: one attempt only, as a connection test wants.
    bool reconnect = true;
};

struct MqttStatus
{
    bool connected = false;
    // "Connected to HOST:PORT", "Connecting to HOST:PORT" or why there is no connection.
    QString text;
};

// A connection to an MQTT broker that lives on its own network thread: connecting, name look-ups, TLS,
// sending, reconnecting (back-off 1 s doubling up to 60 s) and the goodbye never happen on the caller's
// thread. publishRetained only records the newest payload per topic; the network thread sends what changed
// and, after each (re)connect, everything again. So memory stays bounded however long the broker is away.
// Needs an MqttLibrary that outlives it.
class MqttClient : public QObject, public RetainedSink
{
    Q_OBJECT

public:
    explicit MqttClient(MqttOptions options, QObject* parent = nullptr);
    // Returns at once; the network thread then sends the will payload as a clean goodbye and disconnects.
    ~MqttClient() override;

    void publishRetained(const QString& topic, const QByteArray& payload) override;
    MqttStatus status() const;
    const MqttOptions& options() const { return m_options; }

signals:
    // Emitted on this object's thread. A status still on its way when the client is destroyed never arrives.
    void statusChanged(const MqttStatus& status);
    // Arrives on this object's thread; retained: the broker kept it and sent it on subscribing.
    void commandReceived(const QString& topic, const QByteArray& payload, bool retained);

private:
    struct Shared;

    MqttOptions m_options;
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};

Q_DECLARE_METATYPE(MqttStatus)
