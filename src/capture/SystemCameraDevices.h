// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/CameraDevices.h"

#include <QMediaDevices>

// The cameras Qt Multimedia finds, with their hot-plug notifications.
class SystemCameraDevices : public CameraDevices
{
    Q_OBJECT

public:
    explicit SystemCameraDevices(QObject* parent = nullptr);

    QList<CameraInfo> videoInputs() const override;
    std::unique_ptr<CameraStream> open(const QByteArray& id, const CameraFormat& format) override;

private:
    QMediaDevices m_mediaDevices;
};
