// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/CameraStream.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>
#include <QVideoFrameFormat>
#include <memory>

struct CameraFormat
{
    QSize resolution;
    QVideoFrameFormat::PixelFormat pixelFormat = QVideoFrameFormat::Format_Invalid;
    double minFrameRate = 0.0;
    double maxFrameRate = 0.0;

    bool isNull() const { return resolution.isEmpty(); }
};

struct CameraInfo
{
    QByteArray id;
    QString description;
    QList<CameraFormat> formats;
};

// The cameras attached to the machine, and the way to open one. Behind an interface so that tests can
// plug and unplug cameras and feed frames without hardware.
class CameraDevices : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual QList<CameraInfo> videoInputs() const = 0;
    // A stream for a listed camera in the given format (a null format leaves the camera's own choice).
    virtual std::unique_ptr<CameraStream> open(const QByteArray& id, const CameraFormat& format) = 0;

signals:
    void videoInputsChanged();
};
