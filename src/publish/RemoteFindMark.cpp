// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/RemoteFindMark.h"

#include "capture/FindMarkSession.h"
#include "capture/MeterCamera.h"
#include "metering/MeteringContext.h"
#include "publish/PublishPayloads.h"
#include "publish/PublishService.h"

#include <QJsonDocument>
#include <QJsonObject>

RemoteFindMark::RemoteFindMark(PublishService& publish, MeterCamera& camera, QObject* parent)
    : QObject(parent), m_publish(publish), m_camera(camera)
{
    m_publish.addCommand(QLatin1String(FindMarkObject),
                         [this](const QByteArray& payload) { return carryOut(payload); });
    publishStatus(QStringLiteral("Not running"));
}

QString RemoteFindMark::carryOut(const QByteArray& payload)
{
    const QByteArray command = payload.trimmed();
    if (command != "start" && command != "accept" && command != "cancel")
        return CommandDispatcher::payloadIsNot(payload, QStringLiteral("start, accept or cancel"));
    if (command == "start") {
        if (!m_camera.running())
            return MeterCamera::NotRunning;
        if (const QString refusal = m_camera.startFindMark(); !refusal.isEmpty())
            return refusal;
        follow(m_camera.findMarkSession());
        return {};
    }
    FindMarkSession* session = m_camera.findMarkSession();
    if (!session)
        return QStringLiteral("Find Mark is not running");
    // A watch the window began is reported from here on.
    follow(session);
    if (command == "cancel") {
        session->cancel();
    } else {
        if (!session->findMark().finished())
            return QStringLiteral("Find Mark has no proposal yet");
        session->accept();
        // No one presses Save on a box without a screen: what was accepted remotely is kept for the next start.
        const QStringList problems = m_camera.saveDetectionSettings();
        if (!problems.isEmpty()) {
            publishStatus(QStringLiteral("The proposed settings are in use but could not be saved"));
            return QStringLiteral("the proposed settings are in use but could not be saved: ") + problems.join(u' ');
        }
        publishStatus(QStringLiteral("The proposed settings are in use and saved for the next start"));
    }
    return {};
}

void RemoteFindMark::follow(FindMarkSession* session)
{
    if (m_session == session)
        return;
    m_session = session;
    connect(session, &FindMarkSession::progressed, this, &RemoteFindMark::publishProgress);
    connect(session, &FindMarkSession::finished, this, [this](bool accepted) {
        m_session->disconnect(this);
        publishStatus(accepted ? QStringLiteral("The proposed settings are in use")
                               : QStringLiteral("Cancelled; the settings are unchanged"));
    });
    // The camera went while watching.
    connect(session, &QObject::destroyed, this, [this] { publishStatus(QStringLiteral("Not running")); });
    publishProgress();
}

void RemoteFindMark::publishProgress()
{
    QJsonObject o{{QStringLiteral("status"), m_session->statusText()},
                  {QStringLiteral("passes"), m_session->findMark().passesSeen()}};
    for (const auto& [key, text] :
         {std::pair{"hint", m_session->hintText()}, std::pair{"proposal", m_session->proposalText()},
          std::pair{"margins", m_session->marginsText()}})
        if (!text.isEmpty())
            o.insert(QLatin1String(key), text);
    m_publish.publishAt(QLatin1String(FindMarkObject), QJsonDocument(o).toJson(QJsonDocument::Compact));
}

void RemoteFindMark::publishStatus(const QString& status)
{
    m_publish.publishAt(QLatin1String(FindMarkObject),
                        QJsonDocument(QJsonObject{{QStringLiteral("status"), status}}).toJson(QJsonDocument::Compact));
}
