// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/MosquittoBroker.h"

#include "support/TestContext.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpSocket>
#include <QThread>
#include <csignal>
#include <unistd.h>

MosquittoBroker::MosquittoBroker(const QString& user, const QString& password)
{
    QByteArray conf = "listener " + QByteArray::number(m_port.port()) +
                      " 127.0.0.1\npersistence false\nlog_dest file " +
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
    writeFileBytes(m_dir.filePath(QStringLiteral("mosquitto.conf")), conf);
}

QString MosquittoBroker::useTls()
{
    const auto path = [&](const char* name) { return m_dir.filePath(QLatin1String(name)); };
    const auto openssl = [](const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral("openssl"), args);
        p.waitForFinished(30000);
    };
    openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Test CA", "-keyout",
             path("ca.key"), "-out", path("ca.crt")});
    openssl({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost", "-keyout", path("server.key"), "-out",
             path("server.csr")});
    writeFileBytes(path("names"), "subjectAltName=DNS:localhost\n");
    openssl({"x509", "-req", "-days", "2", "-in", path("server.csr"), "-CA", path("ca.crt"), "-CAkey", path("ca.key"),
             "-CAcreateserial", "-extfile", path("names"), "-out", path("server.crt")});
    writeFileBytes(path("mosquitto.conf"), fileBytes(path("mosquitto.conf")) + "cafile " +
                                               QFile::encodeName(path("ca.crt")) + "\ncertfile " +
                                               QFile::encodeName(path("server.crt")) + "\nkeyfile " +
                                               QFile::encodeName(path("server.key")) + "\n");
    return path("ca.crt");
}

bool MosquittoBroker::start()
{
    m_process.start(QStringLiteral("mosquitto"), {"-c", m_dir.filePath(QStringLiteral("mosquitto.conf"))});
    for (QDeadlineTimer deadline(5000); !deadline.hasExpired();) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(m_port.port()));
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
    // Gone for good before it returns, so that a start() after it never finds the old one still there.
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(-1);
    }
}

QByteArray MosquittoBroker::subscribe(const QString& filter, const QStringList& options, int count) const
{
    QProcess sub;
    sub.start(QStringLiteral("mosquitto_sub"),
              QStringList{"-h", "127.0.0.1", "-p", QString::number(m_port.port()), "-t", filter, "--retained-only",
                          "-C", QString::number(count), "-W", "3"} +
                  options);
    sub.waitForFinished(6000);
    return sub.readAllStandardOutput();
}

QByteArray MosquittoBroker::retainedBytes(const QString& topic) const
{
    return subscribe(topic, {"-N"}, 1);
}

void MosquittoBroker::send(const QString& topic, const QStringList& message) const
{
    QProcess::execute("mosquitto_pub",
                      QStringList{"-h", "127.0.0.1", "-p", QString::number(m_port.port()), "-t", topic} + message);
}

QMap<QString, QByteArray> MosquittoBroker::retained(const QString& filter, int count) const
{
    QMap<QString, QByteArray> messages;
    for (const QByteArray& line : subscribe(filter, {"-v"}, count).split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (space > 0)
            messages.insert(QString::fromUtf8(line.left(space)), line.mid(space + 1));
    }
    return messages;
}
