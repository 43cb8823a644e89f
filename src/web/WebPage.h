// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "web/DayTotals.h"
#include "web/WebAccess.h"

#include <QElapsedTimer>
#include <QHttpServerResponse>
#include <QObject>
#include <memory>

struct GlobalSettings;
struct MeteringContext;
class MeterCamera;
class PublishService;
class TripEngine;
class WebServer;

// The meter's own web page while WEB_PAGE is on: the page, its JSON (/api/state is the broker's state message,
// /api/page the rest of what the page shows), the camera's picture with the grid, the commands (the broker's, by
// the same code) and Prometheus' /metrics. Served on the user-interface thread: every answer is quick, and a client
// that sends slowly only holds its own connection.
class WebPage : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype MaxPictureBytes = 300 * 1024;

    WebPage(MeteringContext& ctx, PublishService& publish, MeterCamera& camera, TripEngine& trip,
            QObject* parent = nullptr);
    ~WebPage() override;

    // Starts, restarts or stops the server after the settings changed. A password typed into the file is first
    // replaced there by its hash.
    void applySettings();
    // Why the settings cannot serve the page ("" when they can, or while it is off): an address that is not one, or
    // one other machines reach while no password is set.
    static QString settingsProblem(const GlobalSettings& s);
    // "Serving the page at http://127.0.0.1:8080/", "The web page is off", or why it is not served.
    QString statusText() const { return m_status; }
    // The port listened on; 0 while not serving.
    quint16 port() const { return m_port; }

signals:
    void statusChanged(const QString& text);

private:
    QHttpServerResponse answer(const QHttpServerRequest& request);
    QHttpServerResponse answerSignedIn(const QHttpServerRequest& request, const QString& path);
    QHttpServerResponse signIn(const QHttpServerRequest& request);
    QHttpServerResponse command(const QHttpServerRequest& request, const QString& name);
    QHttpServerResponse picture();
    QByteArray pageJson();
    QByteArray metrics();
    void hashTypedPassword();
    void setStatus(const QString& text);
    double now() const { return m_clock.elapsed() / 1000.0; }

    MeteringContext& m_ctx;
    PublishService& m_publish;
    MeterCamera& m_camera;
    TripEngine& m_trip;
    DayTotals m_day;
    WebAccess m_access;
    QElapsedTimer m_clock;
    std::unique_ptr<WebServer> m_server;
    QStringList m_inForce; // the settings the server was started with
    QString m_status;
    quint16 m_port = 0;
};
