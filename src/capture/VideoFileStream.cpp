// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/VideoFileStream.h"

#include <QFileInfo>
#include <QMediaMetaData>
#include <QUrl>

VideoFileStream::VideoFileStream(const QString& path, QObject* parent) : CameraStream(parent), m_path(path)
{
    m_player.setVideoSink(&m_sink);
    m_player.setLoops(QMediaPlayer::Infinite);
    // Direct: raised on the sink's thread, which the component chooses.
    connect(&m_sink, &QVideoSink::videoFrameChanged, this, &CameraStream::frame, Qt::DirectConnection);
    connect(&m_player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error e, const QString& text) {
        if (e != QMediaPlayer::NoError)
            emit failed(text.isEmpty() ? QStringLiteral("the file cannot be played") : text);
    });
    connect(&m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::InvalidMedia)
            emit failed(QStringLiteral("the file is not a video this program can play"));
    });
    connect(&m_player, &QMediaPlayer::metaDataChanged, this, [this] {
        const QVariant rate = m_player.metaData().value(QMediaMetaData::VideoFrameRate);
        if (rate.isValid() && rate.toDouble() > 0)
            emit frameRateKnown(rate.toDouble());
    });
}

void VideoFileStream::start()
{
    if (!QFileInfo(m_path).isFile()) {
        emit failed(QStringLiteral("the file does not exist"));
        return;
    }
    m_player.setSource(QUrl::fromLocalFile(m_path));
    m_player.play();
}

void VideoFileStream::stop()
{
    m_player.stop();
}
