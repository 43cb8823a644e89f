// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractHttpServer>
#include <QHttpServerResponse>
#include <functional>

// The value of the request's header of that name, in any case; empty when it has none.
QByteArray RequestHeader(const QHttpServerRequest& request, const QByteArray& name);

// Qt's HTTP server with every request answered by one function, on the thread the server lives on.
class WebServer : public QAbstractHttpServer
{
public:
    using Answer = std::function<QHttpServerResponse(const QHttpServerRequest&)>;

    explicit WebServer(Answer answer, QObject* parent = nullptr);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    // Never reached: every request is answered.
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    Answer m_answer;
};
