// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

struct MeteringContext;
class CameraDevices;
class CameraHealthWatch;
class CaptureComponent;
class FindMarkSession;
class MarkDetector;

// The meter's camera, whatever shows it: the capture component, the mark detector watching its frames, the
// watch for a stalled or lost camera and the Find Mark session. Starts, stops and restarts the camera, keeps
// the running flag and the meter source, remembers the camera that started well, waits for a lost one to come
// back, and saves the detection settings. The camera screens are views over it; the desktop and the headless
// program run the same one.
class MeterCamera : public QObject
{
    Q_OBJECT

public:
    // `cameras`: the cameras to offer, which must outlive this object; nullptr for the machine's own.
    explicit MeterCamera(MeteringContext& ctx, CameraDevices* cameras = nullptr, QObject* parent = nullptr);
    ~MeterCamera() override;

    CaptureComponent& capture() { return *m_capture; }
    MarkDetector& detector() { return *m_detector; }
    CameraHealthWatch& healthWatch() { return *m_healthWatch; }
    bool running() const;
    // Why a command that needs the running camera is refused.
    static inline const QString NotRunning = QStringLiteral("the camera is not running");

    // The settings to the component (grid, colours, noise filter) and the detector afresh: its peaks and averages
    // were measured on the old scale. Returns the component's grid display text.
    QString applySettings();
    // A running simulated meter takes its settings from the record again: the settings files were read again after
    // an edit by hand, and a box has no device window.
    void reloadSimulatedMeter();
    // The Start button: the settings to the component, then the selected device started. A camera that started
    // is remembered when REMEMBER_CAMERA is on.
    void start();
    void stop();
    // Stop, then start again. A camera lost while running unattended is first selected again by its name, size
    // and subtype; while no device of that name is listed nothing is started.
    void restart();
    // The running flag set again from the component, as a screen that opens sees it.
    void confirmRunningState();

    // With REMEMBER_CAMERA on and the camera stopped: selects the remembered camera by its name, with its size
    // and subtype (the simulated meter with its settings, a video file with its path). False when the
    // remembered camera is not in the device list.
    bool selectRememberedCamera();
    // Starts the remembered camera (or the one selected). True when the camera runs afterwards.
    bool startRememberedCamera();
    // After startRememberedCamera() failed: a remembered camera that is not plugged in is awaited and started
    // when it comes. False when it is listed (the simulated meter and a video file always are) or none is
    // remembered.
    bool awaitRememberedCamera();

    // Writes the camera and detector settings files as they are in use; what went wrong, one message each.
    QStringList saveDetectionSettings();

    // Begins a Find Mark watch of the running camera; "" or why not.
    QString startFindMark();
    // The watch from its start until it is accepted or cancelled, whether a window or a command began it.
    FindMarkSession* findMarkSession() const;

signals:
    // Each time the running flag is set.
    void runningChanged(bool running);
    // A video device was plugged in or out.
    void deviceListChanged();
    // The component took the settings and the detector started afresh.
    void settingsApplied();
    // The detector's shown values changed.
    void detectionChanged();
    // The detector changed a setting a screen shows (the trigger level following the light).
    void settingFieldsChanged();
    // The light level of each frame.
    void intensityMeasured(qint32 intensity);
    // A Find Mark watch began.
    void findMarkStarted();

private:
    struct CameraChoice
    {
        QString device;
        QString size;
        QString subtype;
    };

    void setRunning(bool running);
    // The simulated meter a person starts shows a register, which keeps its reading from one start to the next; a
    // register set by whoever set the simulated meter's settings stays as it is.
    void showSimulatedRegister();
    void keepSimulatedRegister();
    CameraChoice currentChoice() const;
    // The size and subtype of the selected device named by these list items, where it lists them.
    void selectFormats(const CameraChoice& choice);
    // Writes the camera that just started well to the unattended settings file.
    void rememberCamera();
    void onDeviceAddedOrRemoved(bool added, bool isVideo, const QString& name);
    void onDeviceLost(const QString& reason);

    MeteringContext& m_ctx;
    std::unique_ptr<CaptureComponent> m_capture;
    std::unique_ptr<MarkDetector> m_detector;
    CameraHealthWatch* m_healthWatch = nullptr;
    QPointer<FindMarkSession> m_findMarkSession;
    std::optional<CameraChoice> m_startedCamera;
    std::optional<CameraChoice> m_lostCamera;
    std::optional<double> m_simulatedRegister; // kWh the register shows at the simulated meter's next start
};
