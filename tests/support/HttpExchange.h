// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

// One HTTP response as it came over the wire.
struct HttpReply
{
    int status = 0; // 0 when no whole response came
    QByteArray head;
    QByteArray body;

    QByteArray header(const QByteArray& name) const;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

// A request's bytes: the method, the path, the headers given and the body with its length.
QByteArray HttpRequest(const QByteArray& method, const QByteArray& path, const QByteArray& body = {},
                       const QList<QByteArray>& headers = {});

// Sends the bytes to 127.0.0.1 (from the address given, when one is) and reads one whole response, keeping events
// going meanwhile, so the server may live in the same thread.
HttpReply HttpExchange(quint16 port, const QByteArray& request, const QHostAddress& from = {},
                       int milliseconds = 20000);
