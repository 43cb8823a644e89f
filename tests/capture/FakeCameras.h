// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/CameraDevices.h"

class CaptureComponent;
class MarkDetector;
struct SimulatedMeterSettings;

#include <QColor>
#include <QVideoFrame>

// A camera that delivers exactly the frames a test pushes.
struct FakeCameraStream : CameraStream
{
    void start() override { started = true; }
    void stop() override { started = false; }
    void push(const QVideoFrame& f) { emit frame(f); }
    void fail(const QString& reason) { emit failed(reason); }

    bool started = false;
};

// Cameras a test plugs in and pulls out.
struct FakeCameras : CameraDevices
{
    QList<CameraInfo> videoInputs() const override { return cameras; }
    std::unique_ptr<CameraStream> open(const QByteArray& id, const CameraFormat& format) override;

    void plug(const CameraInfo& camera);
    void unplug(const QByteArray& id);

    QList<CameraInfo> cameras;
    FakeCameraStream* lastStream = nullptr; // owned by the component
    CameraFormat lastFormat;
};

CameraInfo fakeCamera(const QByteArray& id, const QString& description);

// A frame of one colour in a layout the capture thread reads directly. YUV frames are limited range BT.601.
QVideoFrame uniformFrame(QVideoFrameFormat::PixelFormat format, QSize size, QColor rgb);

// The simulated meter started as Start Camera starts it, rendered only when the test asks for a frame.
void startSteppedMeter(CaptureComponent& capture, MarkDetector& detector, const SimulatedMeterSettings& meter);
