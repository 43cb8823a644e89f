// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QVideoFrame>

class QCamera;

// One opened camera delivering frames. frame may be raised on any thread; failed on the stream's own.
class CameraStream : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void start() = 0;
    virtual void stop() = 0;
    // The camera's own controls, or null when there are none to adjust.
    virtual QCamera* camera() { return nullptr; }

signals:
    void frame(const QVideoFrame& frame);
    // The stream has ended on its own; reason is a short phrase for the user.
    void failed(const QString& reason);
};
