// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/IntensityHistory.h"
#include "ui/shell/BusyWindow.h"

#include <QPointer>
#include <QWidget>

struct MeteringContext;
class CapturePreviewWidget;
class FindMarkForm;
class ConfirmedNumberField;
class MeterCamera;
class IntensityStripChart;
class MotionDetection;
class NumericFieldBinding;
class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class RegisterRegionBox;
class StartCameraForm;

// The camera setup screen ("Camera Setup"), a view over the meter's camera: its live picture, the detector's
// live values with a strip chart of the last 30 seconds, the trigger, averaging, debounce and tracking settings
// (each applied by its OK button), the register's region on the picture, and the image settings, camera selection
// and Find Mark screens. It cannot be closed while the camera runs.
class CameraForm : public QWidget
{
    Q_OBJECT

public:
    // `camera` must outlive the screen.
    CameraForm(MeteringContext& ctx, MeterCamera& camera, QWidget* parent = nullptr);
    ~CameraForm() override;

    MeterCamera& camera() { return m_camera; }
    const IntensityHistory& intensityHistory() const { return m_history; }
    // The image settings screen while it is open.
    MotionDetection* motionDetection() const;
    // The camera selection screen while it is open.
    StartCameraForm* startCameraForm() const;
    // The Find Mark window while it is open.
    FindMarkForm* findMarkForm() const;

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
    void connectCamera();
    // The settings in use, shown afresh: fields, picture size and grid; the history starts again.
    void showSettingsApplied();
    void reloadSettingFields();
    void renderDetection();
    void recordIntensity(qint32 intensity);
    void updateSettingsButtons();
    void setTrackingEnabled(bool on);
    void showAssuredRange();
    void showDirection();
    // The trigger or debounce typed in: the range Find Mark stated no longer holds.
    void levelsSetByHand();
    void openStartCamera();
    void cameraChanged();
    void openMotionDetection();
    void loadFactoryDefaults();
    void saveAllSettings();
    void openFindMark();

    MeteringContext& m_ctx;
    MeterCamera& m_camera;
    IntensityHistory m_history;
    bool m_markWasOn = false;
    qint32 m_triggerLevelInField = 0;
    NumericFieldBinding* m_binding;

    CapturePreviewWidget* m_preview = nullptr;
    IntensityStripChart* m_chart = nullptr;
    RegisterRegionBox* m_register = nullptr;
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
    QLabel* m_direction = nullptr;    // while the disc's direction is counted: the last turn, the passes undecided
    QPointer<MotionDetection> m_motion;
    BusyWindow m_busy{*this};
    QPointer<StartCameraForm> m_startCamera;
    QPointer<FindMarkForm> m_findMark;
};
