// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/camera/RemoteCamera.h"

#include "metering/MeteringContext.h"
#include "publish/PublishPayloads.h"
#include "publish/PublishService.h"
#include "ui/camera/CameraForm.h"
#include "ui/camera/FindMarkSession.h"
#include "ui/capture/CaptureComponent.h"
#include "ui/capture/GridPainter.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>

namespace {
const QString NotRunning = QStringLiteral("the camera is not running");

CameraForm* runningCamera(const CameraLookup& lookup)
{
    CameraForm* camera = lookup();
    return camera && is_camera_running(camera->capture()) ? camera : nullptr;
}
} // namespace

RemoteFindMark::RemoteFindMark(PublishService& publish, CameraLookup camera, QObject* parent)
    : QObject(parent), m_publish(publish), m_camera(std::move(camera))
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
        CameraForm* camera = runningCamera(m_camera);
        if (!camera)
            return NotRunning;
        if (const QString refusal = camera->startFindMark(); !refusal.isEmpty())
            return refusal;
        follow(camera->findMarkSession());
        return {};
    }
    CameraForm* camera = m_camera();
    FindMarkSession* session = camera ? camera->findMarkSession() : nullptr;
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
        const QStringList problems = camera->saveDetectionSettings();
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
    // The camera screen closed while watching.
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

RemotePicture::RemotePicture(PublishService& publish, CameraLookup camera, QObject* parent)
    : QObject(parent), m_publish(publish), m_camera(std::move(camera))
{
    m_publish.addCommand(QLatin1String(PictureObject), [this](const QByteArray& payload) {
        if (payload.trimmed() != "now")
            return CommandDispatcher::payloadIsNot(payload, QStringLiteral("now"));
        if (!m_publish.context().settings.PUBLISH_PICTURE)
            return QStringLiteral("sending pictures is off (Setup, Publishing Setup)");
        return send();
    });
    m_timer.setInterval(IntervalMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &RemotePicture::tick);
    m_timer.start();
}

void RemotePicture::tick()
{
    const GlobalSettings& s = m_publish.context().settings;
    if (s.PUBLISH_MQTT && s.PUBLISH_PICTURE)
        send();
}

QString RemotePicture::send()
{
    CameraForm* camera = runningCamera(m_camera);
    const QByteArray picture = camera ? jpeg(camera->capture().previewImage(), camera->capture().grid()) : QByteArray();
    if (picture.isEmpty())
        return camera ? QStringLiteral("the camera has no picture yet") : NotRunning;
    m_publish.publishAt(QLatin1String(PictureObject), picture);
    return {};
}

QByteArray RemotePicture::jpeg(const QImage& frame, const DetectionGrid& grid, qsizetype maxBytes)
{
    if (frame.isNull())
        return {};
    QImage picture = frame.convertToFormat(QImage::Format_RGB32);
    {
        QPainter painter(&picture);
        paintDetectionGrid(painter, picture.rect(), grid);
    }
    // Quality goes first: a smaller picture shows less of the mark than a coarser one.
    for (; picture.width() >= 16; picture = picture.scaledToWidth(picture.width() * 3 / 4, Qt::SmoothTransformation))
        for (const int quality : {85, 70, 55, 40, 25}) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            if (buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "JPEG", quality) && bytes.size() <= maxBytes)
                return bytes;
        }
    return {};
}
