// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/IntensityHistory.h"
#include "camera/MarkDetector.h"
#include "ui/shell/BusyWindow.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

struct MeteringContext;
class CameraDevices;
class CaptureComponent;
class CapturePreviewWidget;
class FindMarkForm;
class FindMarkSession;
class ConfirmedNumberField;
class IntensityStripChart;
class MotionDetection;
class NumericFieldBinding;
class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class CameraHealthWatch;

// The camera setup screen ("Camera Setup"): carries the capture component with its live picture and owns
// the mark detector. It shows the detector's live values with a strip chart of the last 30 seconds, takes
// the trigger, averaging, debounce and tracking settings (each applied by its OK button), and opens the
// image settings and camera selection screens. It cannot be closed while the camera runs.
class CameraForm : public QWidget
{
    Q_OBJECT

public:
    // Makes the camera selection screen, shown modal over this one. Without a factory "Start/Stop Camera"
    // stays disabled.
    using StartCameraFactory = std::function<QDialog*(CameraForm& owner)>;

    // `cameras`: the cameras to offer, which must outlive the screen; nullptr for the machine's own.
    CameraForm(MeteringContext& ctx, StartCameraFactory startCamera, CameraDevices* cameras = nullptr,
               QWidget* parent = nullptr);
    ~CameraForm() override;

    CaptureComponent& capture() { return *m_capture; }
    MarkDetector& detector() { return *m_detector; }
    const IntensityHistory& intensityHistory() const { return m_history; }
    CameraHealthWatch& cameraHealthWatch() { return *m_healthWatch; }
    // The image settings screen while it is open.
    MotionDetection* motionDetection() const;
    QDialog* startCameraForm() const;
    // The Find Mark window while it is open.
    FindMarkForm* findMarkForm() const;
    // Begins a Find Mark watch of the running camera without its window; "" or why not.
    QString startFindMark();
    // The watch from its start until it is accepted or cancelled, whether the window or a command began it.
    FindMarkSession* findMarkSession() const;
    // Starts the remembered camera as the selection screen's Start button would, without showing it.
    // True when the camera runs afterwards.
    bool startRememberedCamera();
    // After startRememberedCamera() failed: a remembered camera that is not plugged in is awaited and started
    // when it comes. False when there is no such camera to wait for.
    bool awaitRememberedCamera();
    // Writes the camera and detector settings files as they are in use; what went wrong, one message each.
    QStringList saveDetectionSettings();
    // After the settings files were read again: the fields, the component and the detector take their values.
    void settingsReloaded();

signals:
    // After the detector's values or the component's configuration changed.
    void detectionRefreshed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildDetectionFrame();
    QWidget* buildTrackingFrame();
    QWidget* buildButtons();
    void connectDetector();
    void load();
    void resetDetection();
    void reloadSettingFields();
    void configureCamera();
    void renderDetection();
    void recordIntensity(qint32 intensity);
    void updateSettingsButtons();
    void setTrackingEnabled(bool on);
    void showAssuredRange();
    // The trigger or debounce typed in: the range Find Mark stated no longer holds.
    void levelsSetByHand();
    void createStartCameraForm();
    void openStartCamera();
    void cameraChanged();
    void restartStalledCamera();
    void openMotionDetection();
    void loadFactoryDefaults();
    void saveAllSettings();
    void openFindMark();
    void takeFoundSettings();

    MeteringContext& m_ctx;
    StartCameraFactory m_startCameraFactory;
    std::unique_ptr<CaptureComponent> m_capture;
    std::unique_ptr<MarkDetector> m_detector;
    IntensityHistory m_history;
    bool m_markWasOn = false;
    qint32 m_triggerLevelInField = 0;
    NumericFieldBinding* m_binding;

    CapturePreviewWidget* m_preview = nullptr;
    IntensityStripChart* m_chart = nullptr;
    QLineEdit* m_imageIntensity = nullptr;
    QLineEdit* m_previousMaximum = nullptr;
    QLineEdit* m_averagedMaximum = nullptr;
    QLineEdit* m_changeFromLastAverage = nullptr;
    ConfirmedNumberField* m_triggerValue = nullptr;
    ConfirmedNumberField* m_maxesToAverage = nullptr;
    ConfirmedNumberField* m_debounce = nullptr;
    ConfirmedNumberField* m_trackPercent = nullptr;
    QProgressBar* m_detectionBar = nullptr;
    QProgressBar* m_markSignalled = nullptr;
    QCheckBox* m_trackIntensityChange = nullptr;
    QPushButton* m_loadFactoryDefaults = nullptr;
    QPushButton* m_saveAllSettings = nullptr;
    QPushButton* m_motionSensitivity = nullptr;
    QPushButton* m_startCameraButton = nullptr;
    QPushButton* m_findMarkButton = nullptr;
    QLabel* m_assuredRange = nullptr; // up to what power Find Mark's settings count every revolution
    QPointer<MotionDetection> m_motion;
    BusyWindow m_busy{*this};
    QPointer<QDialog> m_startCamera;
    QPointer<FindMarkForm> m_findMark;
    QPointer<FindMarkSession> m_findMarkSession;
    CameraHealthWatch* m_healthWatch = nullptr;
};
