// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/CaptureWorker.h"

#include <optional>

namespace {
constexpr int PreviewIntervalMs = 100;
constexpr int PreviewMaxWidth = 640;

std::optional<PixelFormat> directFormat(QVideoFrameFormat::PixelFormat f)
{
    switch (f) {
    case QVideoFrameFormat::Format_ARGB8888:
    case QVideoFrameFormat::Format_ARGB8888_Premultiplied:
    case QVideoFrameFormat::Format_XRGB8888:
        return PixelFormat::Xrgb32;
    case QVideoFrameFormat::Format_BGRA8888:
    case QVideoFrameFormat::Format_BGRA8888_Premultiplied:
    case QVideoFrameFormat::Format_BGRX8888:
        return PixelFormat::Bgrx32;
    case QVideoFrameFormat::Format_ABGR8888:
    case QVideoFrameFormat::Format_XBGR8888:
        return PixelFormat::Xbgr32;
    case QVideoFrameFormat::Format_RGBA8888:
    case QVideoFrameFormat::Format_RGBX8888:
        return PixelFormat::Rgbx32;
    case QVideoFrameFormat::Format_YUV420P:
        return PixelFormat::Yuv420p;
    case QVideoFrameFormat::Format_YV12:
        return PixelFormat::Yv12;
    case QVideoFrameFormat::Format_NV12:
        return PixelFormat::Nv12;
    case QVideoFrameFormat::Format_NV21:
        return PixelFormat::Nv21;
    case QVideoFrameFormat::Format_YUYV:
        return PixelFormat::Yuyv;
    case QVideoFrameFormat::Format_UYVY:
        return PixelFormat::Uyvy;
    default:
        return std::nullopt;
    }
}
} // namespace

CaptureWorker::CaptureWorker()
{
    m_sincePreview.start();
}

void CaptureWorker::setGrid(int columns, int rows)
{
    m_analyser.setGrid(columns, rows);
}

void CaptureWorker::setReduceNoise(bool on)
{
    m_analyser.setReduceNoise(on);
}

void CaptureWorker::setSimulatedSettings(const SimulatedMeterSettings& s)
{
    m_meter.setSettings(s);
}

void CaptureWorker::restart(quint32 run)
{
    m_run = run;
    // A grid change empties the noise filter's history.
    const int c = m_analyser.columns();
    const int r = m_analyser.rows();
    m_analyser.setGrid(0, 0);
    m_analyser.setGrid(c, r);
}

bool CaptureWorker::previewDue()
{
    if (m_sincePreview.elapsed() < PreviewIntervalMs)
        return false;
    m_sincePreview.restart();
    return true;
}

CellTable CaptureWorker::analyseImage(const QImage& rgb32)
{
    FrameView v;
    v.format = PixelFormat::Bgrx32;
    v.width = rgb32.width();
    v.height = rgb32.height();
    v.planes[0] = rgb32.constBits();
    v.strides[0] = rgb32.bytesPerLine();
    return m_analyser.analyse(v);
}

void CaptureWorker::renderSimulated(double seconds)
{
    const QImage img = m_meter.render(seconds);
    // The simulated frames are small: every one can go to the live view.
    emit analysed(analyseImage(img), img, m_run);
}

void CaptureWorker::analyseVideoFrame(const QVideoFrame& source)
{
    if (!source.isValid())
        return;
    QVideoFrame frame(source);
    const bool wantPreview = previewDue();
    QImage preview;
    if (wantPreview) {
        preview = frame.toImage();
        if (preview.width() > PreviewMaxWidth)
            preview = preview.scaledToWidth(PreviewMaxWidth, Qt::FastTransformation);
    }
    const std::optional<PixelFormat> format = directFormat(frame.pixelFormat());
    if (format && frame.map(QVideoFrame::ReadOnly)) {
        FrameView v;
        v.format = *format;
        v.width = frame.width();
        v.height = frame.height();
        for (int p = 0; p < frame.planeCount() && p < 3; ++p) {
            v.planes[p] = frame.bits(p);
            v.strides[p] = frame.bytesPerLine(p);
        }
        const QVideoFrameFormat sf = frame.surfaceFormat();
        v.matrix = sf.colorSpace() == QVideoFrameFormat::ColorSpace_BT709 ? YuvMatrix::Bt709 : YuvMatrix::Bt601;
        v.fullRange = sf.colorRange() == QVideoFrameFormat::ColorRange_Full;
        CellTable table = m_analyser.analyse(v);
        frame.unmap();
        emit analysed(table, preview, m_run);
        return;
    }
    // Compressed or unusual layouts: let Qt convert, then analyse the picture.
    QImage img = wantPreview ? preview : frame.toImage();
    if (img.isNull())
        return;
    if (img.format() != QImage::Format_RGB32 && img.format() != QImage::Format_ARGB32)
        img = img.convertToFormat(QImage::Format_RGB32);
    emit analysed(analyseImage(img), preview, m_run);
}
