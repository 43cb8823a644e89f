// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/MosquittoBroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(quint16(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

} // namespace

int MosquittoBroker::freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    return ntohs(a.sin_port);
}

MosquittoBroker::MosquittoBroker(const QString& user, const QString& password) : m_port(freePort())
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
        QProcess::execute(QStringLiteral("mosquitto_passwd"),
                          {QStringLiteral("-b"), QStringLiteral("-c"), file, user, password});
        conf += "allow_anonymous false\npassword_file " + QFile::encodeName(file) + "\n";
    }
    QFile f(m_dir.filePath(QStringLiteral("mosquitto.conf")));
    if (f.open(QIODevice::WriteOnly))
        f.write(conf);
}

MosquittoBroker::~MosquittoBroker()
{
    stop();
}

bool MosquittoBroker::start()
{
    m_process.start(QStringLiteral("mosquitto"),
                    {QStringLiteral("-c"), m_dir.filePath(QStringLiteral("mosquitto.conf"))});
    if (!m_process.waitForStarted(5000))
        return false;
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (accepts(m_port))
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
    m_process.waitForFinished(1000);
}

QMap<QString, QByteArray> MosquittoBroker::retained(const QString& filter, int count) const
{
    QProcess sub;
    sub.start(QStringLiteral("mosquitto_sub"),
              {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(m_port),
               QStringLiteral("-t"), filter, QStringLiteral("-v"), QStringLiteral("--retained-only"),
               QStringLiteral("-C"), QString::number(count), QStringLiteral("-W"), QStringLiteral("3")});
    sub.waitForFinished(6000);
    QMap<QString, QByteArray> messages;
    for (const QByteArray& line : sub.readAllStandardOutput().split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (space > 0)
            messages.insert(QString::fromUtf8(line.left(space)), line.mid(space + 1));
    }
    return messages;
}
