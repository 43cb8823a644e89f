// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/ReservedPort.h"

#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

// The Debian mosquitto broker on a port of 127.0.0.1 reserved for it, with its own configuration, stopped by
// its PID.
class MosquittoBroker
{
public:
    // An empty user name lets anyone in; otherwise only that user with that password (mosquitto_passwd).
    explicit MosquittoBroker(const QString& user = {}, const QString& password = {});
    ~MosquittoBroker() { stop(); }

    // Makes a certificate authority and a certificate for "localhost" and has the broker speak TLS only;
    // returns the authority's file. Call before start().
    QString useTls();
    bool start(); // true once it takes connections
    void stop();
    int port() const { return m_port.port(); }
    // The retained messages under the filter, topic -> payload; waits (3 s at most) for `count` of them.
    QMap<QString, QByteArray> retained(const QString& filter, int count = 1) const;
    QByteArray retainedAt(const QString& topic) const { return retained(topic).value(topic); }
    // The retained payload of one topic byte for byte, binary ones too; empty after 3 s without one.
    QByteArray retainedBytes(const QString& topic) const;
    // Sends as another client would, e.g. {"-m", "12"} or {"-r", "-n"}.
    void send(const QString& topic, const QStringList& message) const;

private:
    QByteArray subscribe(const QString& filter, const QStringList& options, int count) const;

    QTemporaryDir m_dir;
    QProcess m_process;
    ReservedPort m_port;
};
