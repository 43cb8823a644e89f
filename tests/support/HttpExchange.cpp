// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/HttpExchange.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpSocket>

QByteArray HttpReply::header(const QByteArray& name) const
{
    for (const QByteArray& line : head.split('\n'))
        if (line.toLower().startsWith(name.toLower() + ':'))
            return line.mid(name.size() + 1).trimmed();
    return {};
}

QByteArray HttpRequest(const QByteArray& method, const QByteArray& path, const QByteArray& body,
                       const QList<QByteArray>& headers)
{
    QByteArray r = method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    for (const QByteArray& h : headers)
        r += h + "\r\n";
    return r + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

HttpReply HttpExchange(quint16 port, const QByteArray& request, const QHostAddress& from, int milliseconds)
{
    QTcpSocket socket;
    if (!from.isNull())
        socket.bind(from);
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(request);
    QByteArray got;
    HttpReply r;
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        got += socket.readAll();
        const qsizetype end = got.indexOf("\r\n\r\n");
        if (end < 0)
            continue;
        r.head = got.left(end);
        r.body = got.mid(end + 4);
        if (r.body.size() >= r.header("Content-Length").toLongLong()) {
            r.status = r.head.mid(9, 3).toInt();
            return r;
        }
    }
    return {};
}
