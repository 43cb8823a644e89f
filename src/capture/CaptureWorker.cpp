// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/CaptureWorker.h"

#include "camera/FramePicture.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {
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

CaptureWorker::CaptureWorker(const QElapsedTimer& monotonic) : m_monotonic(monotonic)
{
    m_sincePreview.start();
}

void CaptureWorker::setSurveyGrid(int columns, int rows)
{
    m_survey.setGrid(columns, rows);
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
    m_lastStreamUs = -1;
    m_previewNow = true; // a new run shows its first frame
    // A grid change empties the noise filter's history.
    const int c = m_analyser.columns();
    const int r = m_analyser.rows();
    m_analyser.setGrid(0, 0);
    m_analyser.setGrid(c, r);
}

void CaptureWorker::setPreview(QSize size, int intervalMs)
{
    m_previewSize = size;
    m_previewIntervalMs = intervalMs;
}

bool CaptureWorker::previewDue()
{
    if (!m_previewNow && m_sincePreview.elapsed() < m_previewIntervalMs)
        return false;
    m_previewNow = false;
    m_sincePreview.restart();
    return true;
}

QImage CaptureWorker::pictureOf(const FrameView& view, QSize size) const
{
    QImage picture(size, QImage::Format_RGB32);
    if (!drawFramePicture(view, reinterpret_cast<quint32*>(picture.bits()), picture.width(), picture.height(),
                          picture.bytesPerLine()))
        return {};
    return picture;
}

void CaptureWorker::analyseView(const FrameView& view, AnalysedFrame& out)
{
    out.table = m_analyser.analyse(view);
    if (m_survey.columns() > 0)
        out.survey = m_survey.analyse(view);
    out.run = m_run;
}

void CaptureWorker::analyseImage(const QImage& rgb32, AnalysedFrame& out)
{
    FrameView v;
    v.format = PixelFormat::Bgrx32;
    v.width = rgb32.width();
    v.height = rgb32.height();
    v.planes[0] = rgb32.constBits();
    v.strides[0] = rgb32.bytesPerLine();
    analyseView(v, out);
}

qint64 CaptureWorker::capturedMicroseconds(qint64 streamUs)
{
    const qint64 arrivalUs = m_monotonic.nsecsElapsed() / 1000;
    if (streamUs < 0)
        return -1;
    // The stream counts from its own origin. Arrival is never earlier than capture, so the smallest
    // difference seen is the best estimate of the offset between the two clocks; a stream time that runs
    // backwards (a recording starting its next loop) begins a new estimate.
    if (m_lastStreamUs < 0 || streamUs < m_lastStreamUs)
        m_streamOffsetUs = arrivalUs - streamUs;
    else
        m_streamOffsetUs = std::min(m_streamOffsetUs, arrivalUs - streamUs);
    m_lastStreamUs = streamUs;
    return streamUs + m_streamOffsetUs;
}

void CaptureWorker::renderSimulated(double seconds)
{
    AnalysedFrame out;
    // The simulated frames are small: every one can go to the live view.
    out.preview = m_meter.render(seconds);
    out.simulatedSeconds = seconds;
    if (std::exchange(m_stillWanted, false))
        out.still = out.preview;
    analyseImage(out.preview, out);
    emit analysed(out);
}

void CaptureWorker::analyseVideoFrame(const QVideoFrame& source)
{
    if (!source.isValid())
        return;
    QVideoFrame frame(source);
    AnalysedFrame out;
    out.capturedUs = capturedMicroseconds(frame.startTime());
    const bool wantPreview = previewDue();
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
        analyseView(v, out);
        if (wantPreview)
            out.preview = previewOf(v);
        if (std::exchange(m_stillWanted, false))
            out.still = pictureOf(v, QSize(v.width, v.height));
        frame.unmap();
        emit analysed(out);
        return;
    }
    // Compressed or unusual layouts: let Qt convert, then analyse the picture.
    QImage img = frame.toImage();
    if (img.isNull())
        return;
    if (img.format() != QImage::Format_RGB32 && img.format() != QImage::Format_ARGB32)
        img = img.convertToFormat(QImage::Format_RGB32);
    analyseImage(img, out);
    if (wantPreview)
        out.preview = img.scaled(m_previewSize, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (std::exchange(m_stillWanted, false))
        out.still = img;
    emit analysed(out);
}
