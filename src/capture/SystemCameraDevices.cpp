// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/SystemCameraDevices.h"

#include <QCamera>
#include <QCameraDevice>
#include <QMediaCaptureSession>
#include <QVideoSink>

namespace {
class QtCameraStream : public CameraStream
{
public:
    QtCameraStream(const QCameraDevice& device, const QCameraFormat& format) : m_camera(device)
    {
        if (!format.isNull())
            m_camera.setCameraFormat(format);
        m_session.setCamera(&m_camera);
        m_session.setVideoSink(&m_sink);
        // Direct: the frame goes on from the sink's thread to the capture thread without a stop on the UI thread.
        connect(&m_sink, &QVideoSink::videoFrameChanged, this, &CameraStream::frame, Qt::DirectConnection);
        connect(&m_camera, &QCamera::errorOccurred, this, [this](QCamera::Error e, const QString& text) {
            if (e != QCamera::NoError)
                emit failed(text);
        });
    }

    void start() override
    {
        m_camera.start();
        // Some back ends report a device they cannot open only through error(), without a signal.
        if (!m_camera.isActive() && m_camera.error() != QCamera::NoError)
            emit failed(m_camera.errorString());
    }
    void stop() override { m_camera.stop(); }
    QCamera* camera() override { return &m_camera; }

private:
    QCamera m_camera;
    QMediaCaptureSession m_session;
    QVideoSink m_sink;
};

bool sameFormat(const QCameraFormat& q, const CameraFormat& f)
{
    return q.resolution() == f.resolution && q.pixelFormat() == f.pixelFormat &&
           double(q.minFrameRate()) == f.minFrameRate && double(q.maxFrameRate()) == f.maxFrameRate;
}
} // namespace

SystemCameraDevices::SystemCameraDevices(QObject* parent) : CameraDevices(parent)
{
    connect(&m_mediaDevices, &QMediaDevices::videoInputsChanged, this, &CameraDevices::videoInputsChanged);
}

QList<CameraInfo> SystemCameraDevices::videoInputs() const
{
    QList<CameraInfo> cameras;
    for (const QCameraDevice& d : QMediaDevices::videoInputs()) {
        CameraInfo info{d.id(), d.description(), {}};
        for (const QCameraFormat& f : d.videoFormats())
            info.formats << CameraFormat{f.resolution(), f.pixelFormat(), double(f.minFrameRate()),
                                         double(f.maxFrameRate())};
        cameras << info;
    }
    return cameras;
}

std::unique_ptr<CameraStream> SystemCameraDevices::open(const QByteArray& id, const CameraFormat& format)
{
    for (const QCameraDevice& d : QMediaDevices::videoInputs()) {
        if (d.id() != id)
            continue;
        QCameraFormat chosen;
        for (const QCameraFormat& f : d.videoFormats())
            if (sameFormat(f, format))
                chosen = f;
        return std::make_unique<QtCameraStream>(d, chosen);
    }
    return nullptr;
}
