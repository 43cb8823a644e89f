// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeCameras.h"

#include <algorithm>
#include <cmath>
#include <cstring>

std::unique_ptr<CameraStream> FakeCameras::open(const QByteArray& id, const CameraFormat& format)
{
    const bool present = std::any_of(cameras.begin(), cameras.end(), [&](const CameraInfo& c) { return c.id == id; });
    if (!present)
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

namespace {
uchar limitedLuma(double y)
{
    return uchar(std::lround(16.0 + y * 219.0 / 255.0));
}
uchar limitedChroma(double c)
{
    return uchar(std::lround(128.0 + c * 224.0 / 255.0));
}
} // namespace

QVideoFrame uniformFrame(QVideoFrameFormat::PixelFormat format, QSize size, QColor rgb)
{
    QVideoFrameFormat ff(size, format);
    ff.setColorSpace(QVideoFrameFormat::ColorSpace_BT601);
    ff.setColorRange(QVideoFrameFormat::ColorRange_Video);
    QVideoFrame frame(ff);
    if (!frame.map(QVideoFrame::WriteOnly))
        return {};
    const double r = rgb.red(), g = rgb.green(), b = rgb.blue();
    const double yf = 0.299 * r + 0.587 * g + 0.114 * b;
    const uchar y = limitedLuma(yf);
    const uchar u = limitedChroma((b - yf) / 1.772);
    const uchar v = limitedChroma((r - yf) / 1.402);
    auto fill = [&](int plane, std::initializer_list<uchar> pattern) {
        uchar* p = frame.bits(plane);
        const qsizetype bytes = frame.mappedBytes(plane);
        const std::vector<uchar> pat(pattern);
        for (qsizetype i = 0; i < bytes; ++i)
            p[i] = pat[std::size_t(i) % pat.size()];
    };
    const uchar R = uchar(rgb.red()), G = uchar(rgb.green()), B = uchar(rgb.blue());
    switch (format) {
    case QVideoFrameFormat::Format_XRGB8888:
        fill(0, {0xFF, R, G, B});
        break;
    case QVideoFrameFormat::Format_BGRX8888:
        fill(0, {B, G, R, 0xFF});
        break;
    case QVideoFrameFormat::Format_XBGR8888:
        fill(0, {0xFF, B, G, R});
        break;
    case QVideoFrameFormat::Format_RGBX8888:
        fill(0, {R, G, B, 0xFF});
        break;
    case QVideoFrameFormat::Format_YUV420P:
        fill(0, {y});
        fill(1, {u});
        fill(2, {v});
        break;
    case QVideoFrameFormat::Format_YV12:
        fill(0, {y});
        fill(1, {v});
        fill(2, {u});
        break;
    case QVideoFrameFormat::Format_NV12:
        fill(0, {y});
        fill(1, {u, v});
        break;
    case QVideoFrameFormat::Format_NV21:
        fill(0, {y});
        fill(1, {v, u});
        break;
    case QVideoFrameFormat::Format_YUYV:
        fill(0, {y, u, y, v});
        break;
    case QVideoFrameFormat::Format_UYVY:
        fill(0, {u, y, v, y});
        break;
    default:
        frame.unmap();
        return {};
    }
    frame.unmap();
    return frame;
}
