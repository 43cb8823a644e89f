// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/CameraStream.h"

#include <QMediaPlayer>
#include <QVideoSink>

// Replays a recording of a meter in a loop, as if it were a camera.
class VideoFileStream : public CameraStream
{
    Q_OBJECT

public:
    explicit VideoFileStream(const QString& path, QObject* parent = nullptr);

    void start() override;
    void stop() override;

signals:
    // The recording's own frame rate, once the file has told it.
    void frameRateKnown(double framesPerSecond);

private:
    QString m_path;
    QMediaPlayer m_player;
    QVideoSink m_sink;
};
