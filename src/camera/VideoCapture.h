// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/CellValueSource.h"

#include <QObject>
#include <QString>

// The video-capture component as the rest of the program sees it: it opens a device, analyses every frame
// over the detection grid and reports per-cell values. Lists are texts with every item followed by CR LF;
// indexes are 0-based, -1 = nothing selected.
class VideoCapture : public QObject, public CellValueSource
{
    Q_OBJECT

public:
    // state(): these two mean running, anything else stopped.
    static constexpr int StatePreview = 1;
    static constexpr int StateCapturing = 2;
    static constexpr int StateStopped = 0;

    using QObject::QObject;

    virtual QString deviceList() const = 0;
    virtual int deviceIndex() const = 0;
    virtual void setDeviceIndex(int index) = 0;
    virtual QString deviceName() const = 0;

    virtual QString inputList() const = 0;
    virtual int inputIndex() const = 0;
    virtual void setInputIndex(int index) = 0;
    virtual QString sizeList() const = 0;
    virtual int sizeIndex() const = 0;
    virtual void setSizeIndex(int index) = 0;
    virtual QString subtypeList() const = 0;
    virtual int subtypeIndex() const = 0;
    virtual void setSubtypeIndex(int index) = 0;
    virtual QString analogVideoStandardList() const = 0;
    virtual int analogVideoStandardIndex() const = 0;
    virtual void setAnalogVideoStandardIndex(int index) = 0;

    virtual void startLiveVideo() = 0;
    virtual void stop() = 0;
    virtual int state() const = 0;

    // The rate read back is the one the device granted, which may differ from the one written.
    virtual double frameRate() const = 0;
    virtual void setFrameRate(double framesPerSecond) = 0;

    virtual void setDisplaySize(int width, int height, bool stretch) = 0;

    // True when choosing the device at `index` asks for something (a file to play) each time, so choosing
    // the selected device again is not a no-op.
    virtual bool choiceAsksEachTime(int) const { return false; }

    virtual bool motionDetection() const = 0;
    virtual void setMotionDetection(bool on) = 0;

    virtual QString detectionGrid() const = 0;
    virtual void setDetectionGrid(const QString& grid) = 0;
    // Whether the last grid written was taken (non-empty, digits only, within the size limit).
    virtual bool gridAccepted() const = 0;

    virtual void setCompareRed(bool on) = 0;
    virtual void setCompareGreen(bool on) = 0;
    virtual void setCompareBlue(bool on) = 0;
    virtual void setReduceNoise(bool on) = 0;

    virtual QString gridDisplayText() const = 0;
    virtual int gridColumns() const = 0;
    virtual int gridRows() const = 0;

signals:
    // Raised on the user-interface thread once per analysed frame while running.
    void frameAnalysed();
    void videoDeviceSelected();
    // added false = removal; isVideo true = a video device.
    void deviceAddedOrRemoved(bool added, bool isVideo, const QString& name);
    // The running device stopped on its own; `reason` says why, for the user.
    void deviceLost(const QString& reason);
    // The component stopped and started the device itself (new stream settings); detection settles again.
    void liveVideoRestarted();
};

// True when the component reports a running state.
bool is_camera_running(const VideoCapture& capture);
