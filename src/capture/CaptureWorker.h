// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/CellAnalyser.h"
#include "capture/SimulatedMeter.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QVideoFrame>

// What the capture thread hands over for one frame.
struct AnalysedFrame
{
    CellTable table;  // over the detection grid
    CellTable survey; // over the survey grid while one is set, without noise reduction
    QImage preview;   // null when this frame's picture is not needed
    QImage still;     // the whole frame at its own size, when one was asked for
    quint32 run = 0;
    // When the frame was taken: microseconds on the monotonic clock shared with the component, or for the
    // simulated meter its seconds since start; -1 when the source gave no time stamp.
    qint64 capturedUs = -1;
    double simulatedSeconds = -1.0;
};
Q_DECLARE_METATYPE(AnalysedFrame)

// Lives on the capture thread: maps each frame read-only, analyses it and hands back only the cell table
// (plus now and then a picture for the live view, drawn at its size straight from the frame's planes).
class CaptureWorker : public QObject
{
    Q_OBJECT

public:
    // `monotonic` is the component's started timer; captured times are read against it.
    explicit CaptureWorker(const QElapsedTimer& monotonic);

    void setGrid(int columns, int rows);
    void setReduceNoise(bool on);
    // A second grid analysed beside the detection grid (0 x 0: none), whatever that grid is.
    void setSurveyGrid(int columns, int rows);
    void setSimulatedSettings(const SimulatedMeterSettings& s);
    // Camera and file frames: the live view's size, and how often it gets a picture.
    void setPreview(QSize size, int intervalMs);
    void renderSimulated(double seconds);
    void analyseVideoFrame(const QVideoFrame& frame);
    // The next frame is also handed back whole, at its own size.
    void requestStill() { m_stillWanted = true; }
    // Drops history that belongs to the previous device or run; later tables carry `run`.
    void restart(quint32 run);

signals:
    void analysed(const AnalysedFrame& frame);

private:
    void analyseImage(const QImage& rgb32, AnalysedFrame& out);
    void analyseView(const FrameView& view, AnalysedFrame& out);
    qint64 capturedMicroseconds(qint64 streamMicroseconds);
    bool previewDue();
    QImage previewOf(const FrameView& view) const { return pictureOf(view, m_previewSize); }
    QImage pictureOf(const FrameView& view, QSize size) const;

    CellAnalyser m_analyser;
    CellAnalyser m_survey;
    QElapsedTimer m_monotonic;
    qint64 m_streamOffsetUs = 0;
    qint64 m_lastStreamUs = -1;
    SimulatedMeter m_meter;
    QElapsedTimer m_sincePreview;
    QSize m_previewSize{320, 240};
    int m_previewIntervalMs = 100;
    bool m_previewNow = true;
    bool m_stillWanted = false;
    quint32 m_run = 0;
};
