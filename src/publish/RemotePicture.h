// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

class DetectionGrid;
class MeterCamera;
class PublishService;
class QImage;

// The camera's present picture with the detection grid on it, as a JPEG retained on BASE/picture while
// PUBLISH_PICTURE is on: every minute while the camera runs, and at once on BASE/picture/set "now".
class RemotePicture : public QObject
{
    Q_OBJECT

public:
    static constexpr int IntervalMilliseconds = 60'000;
    static constexpr qsizetype MaxBytes = 100 * 1024;

    RemotePicture(PublishService& publish, MeterCamera& camera, QObject* parent = nullptr);

    // The minute's picture, which the timer asks for.
    void tick();

    // The frame with the grid drawn on it as a JPEG of at most maxBytes: lower quality first, then smaller.
    // Empty for an empty frame.
    static QByteArray jpeg(const QImage& frame, const DetectionGrid& grid, qsizetype maxBytes = MaxBytes);

private:
    // "" when sent, otherwise why not.
    QString send();

    PublishService& m_publish;
    MeterCamera& m_camera;
    QTimer m_timer;
};
