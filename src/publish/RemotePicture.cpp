// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/RemotePicture.h"

#include "capture/CaptureComponent.h"
#include "capture/GridPainter.h"
#include "capture/MeterCamera.h"
#include "metering/MeteringContext.h"
#include "publish/PublishPayloads.h"
#include "publish/PublishService.h"

#include <QBuffer>
#include <QPainter>

RemotePicture::RemotePicture(PublishService& publish, MeterCamera& camera, QObject* parent)
    : QObject(parent), m_publish(publish), m_camera(camera)
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
    if (!m_camera.running())
        return MeterCamera::NotRunning;
    const CaptureComponent& capture = m_camera.capture();
    const QByteArray picture = jpeg(capture.previewImage(), capture.grid());
    if (picture.isEmpty())
        return QStringLiteral("the camera has no picture yet");
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
