// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/MosquittoBroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <csignal>
#include <unistd.h>

int MosquittoBroker::freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

MosquittoBroker::MosquittoBroker(const QString& user, const QString& password)
{
    QByteArray conf = "listener " + QByteArray::number(m_port) + " 127.0.0.1\npersistence false\nlog_dest file " +
                      QFile::encodeName(m_dir.filePath(QStringLiteral("mosquitto.log"))) + "\n";
    // Started as root it would become the user "mosquitto", who cannot read this private folder.
    if (::geteuid() == 0)
        conf += "user root\n";
    if (user.isEmpty()) {
        conf += "allow_anonymous true\n";
    } else {
        const QString file = m_dir.filePath(QStringLiteral("passwords"));
        QProcess::execute(QStringLiteral("mosquitto_passwd"), {"-b", "-c", file, user, password});
        conf += "allow_anonymous false\npassword_file " + QFile::encodeName(file) + "\n";
    }
    QFile f(m_dir.filePath(QStringLiteral("mosquitto.conf")));
    if (f.open(QIODevice::WriteOnly))
        f.write(conf);
}

bool MosquittoBroker::start()
{
    m_process.start(QStringLiteral("mosquitto"), {"-c", m_dir.filePath(QStringLiteral("mosquitto.conf"))});
    for (QDeadlineTimer deadline(5000); !deadline.hasExpired();) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        if (probe.waitForConnected(100))
            return true;
        QThread::msleep(20);
    }
    return false;
}

void MosquittoBroker::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(5000))
        m_process.kill();
}

QMap<QString, QByteArray> MosquittoBroker::retained(const QString& filter, int count) const
{
    QProcess sub;
    sub.start(QStringLiteral("mosquitto_sub"), {"-h", "127.0.0.1", "-p", QString::number(m_port), "-t", filter, "-v",
                                                "--retained-only", "-C", QString::number(count), "-W", "3"});
    sub.waitForFinished(6000);
    QMap<QString, QByteArray> messages;
    for (const QByteArray& line : sub.readAllStandardOutput().split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (space > 0)
            messages.insert(QString::fromUtf8(line.left(space)), line.mid(space + 1));
    }
    return messages;
}
