// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The Debian mosquitto broker on a free port of 127.0.0.1 with its own configuration, stopped by its PID.
class MosquittoBroker
{
public:
    // An empty user name lets anyone in; otherwise only that user with that password (mosquitto_passwd).
    explicit MosquittoBroker(const QString& user = {}, const QString& password = {});
    ~MosquittoBroker();

    bool start(); // true once it accepts connections
    void stop();
    int port() const { return m_port; }
    qint64 pid() const { return m_process.processId(); }

    // A loopback port nothing listens on.
    static int freePort();
    // The retained messages under the filter, as topic -> payload; waits for at least `count` of them.
    QMap<QString, QByteArray> retained(const QString& filter, int count = 1) const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};
