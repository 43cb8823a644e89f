// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/MeterSource.h"
#include "camera/CellTable.h"
#include "camera/DetectionGrid.h"
#include "camera/VideoCapture.h"
#include "capture/CameraDevices.h"
#include "capture/SimulatedMeter.h"

#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>

class Clock;
class Dialogs;
class CaptureWorker;
struct AnalysedFrame;

// The video-capture component on Qt Multimedia. Devices: the cameras Qt finds, then the built-in simulated
// meter, then "Video file..." (replays a recording). Frames are analysed on a capture thread; each frame's
// cell table is queued to this object's thread, which raises frameAnalysed for it. Every start begins a new
// run, and tables still queued from an earlier run are dropped.
class CaptureComponent : public VideoCapture
{
    Q_OBJECT

public:
    static inline const QString SimulatedMeterName = MeterSource::SimulatedMeterDevice;
    static inline const QString VideoFileName = MeterSource::VideoFileDevice;

    // The clock times the simulated meter; dialogs ask for the video file. Both must outlive the component.
    CaptureComponent(Clock& clock, Dialogs& dialogs, QObject* parent = nullptr);
    // As above with the cameras listed by `cameras`, which must outlive the component.
    CaptureComponent(Clock& clock, Dialogs& dialogs, CameraDevices& cameras, QObject* parent = nullptr);
    ~CaptureComponent() override;

    QString deviceList() const override;
    int deviceIndex() const override { return m_deviceIndex; }
    void setDeviceIndex(int index) override;
    QString deviceName() const override;

    QString inputList() const override;
    int inputIndex() const override { return m_deviceIndex < 0 ? -1 : 0; }
    void setInputIndex(int) override {}
    QString sizeList() const override;
    int sizeIndex() const override { return m_sizeIndex; }
    void setSizeIndex(int index) override;
    QString subtypeList() const override;
    int subtypeIndex() const override { return m_subtypeIndex; }
    void setSubtypeIndex(int index) override;
    QString analogVideoStandardList() const override;
    int analogVideoStandardIndex() const override { return m_deviceIndex < 0 ? -1 : 0; }
    void setAnalogVideoStandardIndex(int) override {}

    void startLiveVideo() override;
    void stop() override;
    int state() const override { return m_state; }

    double frameRate() const override { return m_grantedRate; }
    void setFrameRate(double framesPerSecond) override;
    void setDisplaySize(int width, int height, bool stretch) override;
    QSize displaySize() const { return m_displaySize; }
    bool stretch() const { return m_stretch; }

    bool choiceAsksEachTime(int index) const override { return index == videoFileIndex(); }

    bool motionDetection() const override { return m_motionDetection; }
    void setMotionDetection(bool on) override { m_motionDetection = on; }
    QString detectionGrid() const override { return m_grid.text(); }
    void setDetectionGrid(const QString& grid) override;
    bool gridAccepted() const override { return m_gridAccepted; }
    void setCompareRed(bool on) override { m_compare[0] = on; }
    void setCompareGreen(bool on) override { m_compare[1] = on; }
    void setCompareBlue(bool on) override { m_compare[2] = on; }
    void setReduceNoise(bool on) override;
    QString gridDisplayText() const override { return m_grid.displayText(); }
    int gridColumns() const override { return m_grid.columns(); }
    int gridRows() const override { return m_grid.rows(); }

    int cellValue(int channel, int column, int row) const override;
    QString currentCellValuesText() const override;
    double frameTime() const override { return m_frameTime; }

    // A second grid analysed on every frame beside the detection grid, whatever that grid and the noise
    // setting are; each frame's table comes with surveyAnalysed. 0 x 0 ends it.
    void setSurveyGrid(int columns, int rows);
    // The meter constant the simulated meter turns by, read at every start (the meter's camera links it to
    // the meter settings).
    std::function<double()> meterConstant;

    const DetectionGrid& grid() const { return m_grid; }
    // The latest picture for the live view, at the display size: refreshed ten times a second while anyone
    // watches it, once a second otherwise.
    const QImage& previewImage() const { return m_preview; }
    // A view of the picture was shown (true) or hidden (false); each call with true is ended by one with false.
    void watchPreview(bool watching);
    // The next frame of the running camera arrives whole, at its own size, through stillTaken.
    void requestStill();
    int simulatedMeterIndex() const { return int(m_cameras.size()); }
    int videoFileIndex() const { return int(m_cameras.size()) + 1; }

    SimulatedMeterSettings simulatedMeterSettings() const { return m_simSettings; }
    void setSimulatedMeterSettings(const SimulatedMeterSettings& s);
    // When false, the simulated meter renders only when renderSimulatedFrame is called (tests step the clock).
    void setSimulatedMeterFreeRunning(bool on) { m_simFreeRunning = on; }
    // Renders the simulated meter at the clock's present time; the table arrives through the event loop.
    void renderSimulatedFrame();
    // Seconds since the simulated meter started, as the simulation counts them.
    double simulatedSeconds() const;
    QString videoFilePath() const { return m_videoFile; }
    // What the selected device reads.
    MeterSource meterSource() const { return MeterSource::ofDevice(deviceName(), m_videoFile); }
    // Selects "Video file..." with this recording, without asking for one.
    void selectVideoFile(const QString& path);

    enum class Kind
    {
        None,
        Camera,
        Simulated,
        File
    };
    // What the selected device is.
    Kind kind() const;
    // The camera while one runs, for its own controls; nullptr otherwise.
    QCamera* camera() const;
    // The rate asked for, which the camera may not grant.
    double requestedFrameRate() const { return m_requestedRate; }
    // Size, subtype and rate chosen together; a running camera is restarted with them.
    void applyStreamSettings(int sizeIndex, int subtypeIndex, double framesPerSecond);
    // Asks for the recording that "Video file..." replays; cancelled, the one chosen before stays.
    void chooseVideoFile();

signals:
    void previewChanged();
    void stillTaken(const QImage& picture);
    // frameTime: when the frame was taken, on the program clock.
    void surveyAnalysed(const CellTable& survey, double frameTime);

private:
    CaptureComponent(Clock& clock, Dialogs& dialogs, CameraDevices* cameras, std::unique_ptr<CameraDevices> ownCameras,
                     QObject* parent);

    void selectDevice(int index, bool askForVideoFile);
    void refreshCameras();
    void onFrameReady(const AnalysedFrame& frame);
    double programTime(const AnalysedFrame& frame);
    void configureWorker();
    void configurePreview();
    QList<QSize> cameraSizes() const;
    QList<QVideoFrameFormat::PixelFormat> cameraSubtypes() const;
    CameraFormat chosenCameraFormat() const;
    void grantRate();
    void startStream(std::unique_ptr<CameraStream> stream);
    // Runs work on the thread the stream lives on and waits for it.
    void onStreamThread(const std::function<void()>& work);
    void startFile();
    void failRunning(const QString& reason);

    Clock& m_clock;
    Dialogs& m_dialogs;
    std::unique_ptr<CameraDevices> m_ownCameras;
    CameraDevices& m_cameraDevices;
    QList<CameraInfo> m_cameras;
    int m_deviceIndex = -1;
    int m_sizeIndex = -1;
    int m_subtypeIndex = -1;
    int m_state = StateStopped;
    double m_requestedRate = 25.0;
    double m_grantedRate = 25.0;
    QSize m_displaySize{320, 240};
    bool m_stretch = false;
    bool m_motionDetection = false;
    bool m_gridAccepted = false;
    bool m_reduceNoise = false;
    bool m_compare[3] = {true, true, true};
    DetectionGrid m_grid;
    CellTable m_table;
    QImage m_preview;
    int m_previewWatchers = 0;
    QString m_videoFile;
    quint32 m_run = 0;
    QElapsedTimer m_monotonic;
    double m_runStart = 0.0;
    double m_frameTime = -1.0;

    SimulatedMeterSettings m_simSettings;
    bool m_simFreeRunning = true;
    double m_simStart = 0.0;
    QTimer m_simTimer;

    QThread m_thread;
    CaptureWorker* m_worker = nullptr; // lives on m_thread
    std::unique_ptr<CameraStream> m_stream;
};
