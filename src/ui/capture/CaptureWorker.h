// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/CellAnalyser.h"
#include "ui/capture/SimulatedMeter.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QVideoFrame>

// Lives on the capture thread: maps each frame read-only, analyses it and hands back only the cell table
// (plus now and then a small picture for the live view).
class CaptureWorker : public QObject
{
    Q_OBJECT

public:
    CaptureWorker();

    void setGrid(int columns, int rows);
    void setReduceNoise(bool on);
    void setSimulatedSettings(const SimulatedMeterSettings& s);
    void renderSimulated(double seconds);
    void analyseVideoFrame(const QVideoFrame& frame);
    // Drops history that belongs to the previous device or run; later tables carry `run`.
    void restart(quint32 run);

signals:
    // preview is null when this frame's picture is not needed.
    void analysed(const CellTable& table, const QImage& preview, quint32 run);

private:
    CellTable analyseImage(const QImage& rgb32);
    bool previewDue();

    CellAnalyser m_analyser;
    SimulatedMeter m_meter;
    QElapsedTimer m_sincePreview;
    quint32 m_run = 0;
};
