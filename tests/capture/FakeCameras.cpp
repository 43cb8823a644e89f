// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/FakeCameras.h"

#include "camera/MarkDetector.h"
#include "capture/CaptureComponent.h"

#include <algorithm>
#include <cmath>
#include <map>

std::unique_ptr<CameraStream> FakeCameras::open(const QByteArray& id, const CameraFormat& format)
{
    if (std::none_of(cameras.begin(), cameras.end(), [&](const CameraInfo& c) { return c.id == id; }))
        return nullptr;
    auto stream = std::make_unique<FakeCameraStream>();
    lastStream = stream.get();
    lastFormat = format;
    return stream;
}

void FakeCameras::plug(const CameraInfo& camera)
{
    cameras << camera;
    emit videoInputsChanged();
}

void FakeCameras::unplug(const QByteArray& id)
{
    cameras.removeIf([&](const CameraInfo& c) { return c.id == id; });
    emit videoInputsChanged();
}

CameraInfo fakeCamera(const QByteArray& id, const QString& description)
{
    CameraInfo c{id, description, {}};
    for (QSize s : {QSize(1280, 720), QSize(320, 240), QSize(640, 480)}) {
        c.formats << CameraFormat{s, QVideoFrameFormat::Format_YUYV, 5.0, 30.0};
        c.formats << CameraFormat{s, QVideoFrameFormat::Format_NV12, 5.0, 15.0};
    }
    return c;
}

QVideoFrame uniformFrame(QVideoFrameFormat::PixelFormat format, QSize size, QColor rgb)
{
    using F = QVideoFrameFormat;
    const uchar R = uchar(rgb.red()), G = uchar(rgb.green()), B = uchar(rgb.blue());
    const double luma = 0.299 * R + 0.587 * G + 0.114 * B;
    const uchar y = uchar(std::lround(16.0 + luma * 219.0 / 255.0));
    const uchar u = uchar(std::lround(128.0 + (B - luma) / 1.772 * 224.0 / 255.0));
    const uchar v = uchar(std::lround(128.0 + (R - luma) / 1.402 * 224.0 / 255.0));
    // The repeating byte pattern of each plane.
    const std::map<F::PixelFormat, std::vector<std::vector<uchar>>> layouts = {
        {F::Format_XRGB8888, {{0xFF, R, G, B}}}, {F::Format_BGRX8888, {{B, G, R, 0xFF}}},
        {F::Format_XBGR8888, {{0xFF, B, G, R}}}, {F::Format_RGBX8888, {{R, G, B, 0xFF}}},
        {F::Format_YUV420P, {{y}, {u}, {v}}},    {F::Format_YV12, {{y}, {v}, {u}}},
        {F::Format_NV12, {{y}, {u, v}}},         {F::Format_NV21, {{y}, {v, u}}},
        {F::Format_YUYV, {{y, u, y, v}}},        {F::Format_UYVY, {{u, y, v, y}}}};
    const auto layout = layouts.find(format);
    F ff(size, format);
    ff.setColorSpace(F::ColorSpace_BT601);
    ff.setColorRange(F::ColorRange_Video);
    QVideoFrame frame(ff);
    if (layout == layouts.end() || !frame.map(QVideoFrame::WriteOnly))
        return {};
    for (int plane = 0; plane < int(layout->second.size()); ++plane) {
        const std::vector<uchar>& pattern = layout->second[std::size_t(plane)];
        uchar* bits = frame.bits(plane);
        for (qsizetype i = 0; i < frame.mappedBytes(plane); ++i)
            bits[i] = pattern[std::size_t(i) % pattern.size()];
    }
    frame.unmap();
    return frame;
}

void startSteppedMeter(CaptureComponent& capture, MarkDetector& detector, const SimulatedMeterSettings& meter)
{
    capture.setSimulatedMeterSettings(meter);
    capture.setSimulatedMeterFreeRunning(false);
    capture.setDeviceIndex(capture.simulatedMeterIndex());
    detector.reset_mark_detection();
    detector.camera_just_starting();
    capture.startLiveVideo();
}
