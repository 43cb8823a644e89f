// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/WebServer.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>

QByteArray RequestHeader(const QHttpServerRequest& request, const QByteArray& name)
{
    for (const auto& [key, value] : request.headers())
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

WebServer::WebServer(Answer answer, QObject* parent) : QAbstractHttpServer(parent), m_answer(std::move(answer)) {}

bool WebServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    m_answer(request).write(makeResponder(request, socket));
    return true;
}

void WebServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}
