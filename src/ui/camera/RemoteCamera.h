// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

class CameraForm;
class DetectionGrid;
class FindMarkSession;
class PublishService;
class QImage;

// The camera setup screen while it exists (it owns the camera), else nullptr.
using CameraLookup = std::function<CameraForm*()>;

// Find Mark by command: BASE/find_mark/set start | accept | cancel, on the same watch as the window's. Its
// progress, the proposal and how it ended go as JSON to BASE/find_mark.
class RemoteFindMark : public QObject
{
    Q_OBJECT

public:
    RemoteFindMark(PublishService& publish, CameraLookup camera, QObject* parent = nullptr);

private:
    QString carryOut(const QByteArray& payload);
    void follow(FindMarkSession* session);
    void publishProgress();
    void publishStatus(const QString& status);

    PublishService& m_publish;
    CameraLookup m_camera;
    QPointer<FindMarkSession> m_session;
};

// The camera's present picture with the detection grid on it, as a JPEG retained on BASE/picture while
// PUBLISH_PICTURE is on: every minute while the camera runs, and at once on BASE/picture/set "now".
class RemotePicture : public QObject
{
    Q_OBJECT

public:
    static constexpr int IntervalMilliseconds = 60'000;
    static constexpr qsizetype MaxBytes = 100 * 1024;

    RemotePicture(PublishService& publish, CameraLookup camera, QObject* parent = nullptr);

    // The minute's picture, which the timer asks for.
    void tick();

    // The frame with the grid drawn on it as a JPEG of at most maxBytes: lower quality first, then smaller.
    // Empty for an empty frame.
    static QByteArray jpeg(const QImage& frame, const DetectionGrid& grid, qsizetype maxBytes = MaxBytes);

private:
    // "" when sent, otherwise why not.
    QString send();

    PublishService& m_publish;
    CameraLookup m_camera;
    QTimer m_timer;
};
