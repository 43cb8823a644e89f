// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <array>
#include <optional>

class MarkDetector;
class NumericFieldBinding;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class UpDownControl;
class VideoCapture;
struct AppContext;
struct NumericFieldLimits;

// "Select and Start Camera": chooses the capture device and its formats, the frame rate, the settle delay and
// the displayed image size, and starts and stops the camera (and with it mark detection).
//
// Make one per capture component and keep it as long as the component: it also handles the component's
// device events (added, removed, lost) while it is not shown. Open it modal with exec(); each opening
// refreshes it from the component and the settings.
class StartCameraForm : public QDialog
{
    Q_OBJECT
public:
    StartCameraForm(AppContext& ctx, VideoCapture& capture, MarkDetector& detector, QWidget* parent = nullptr);

    // Fills the device list from the component and selects its device (the camera setup screen's load and
    // factory defaults do this too).
    void assignDeviceList();
    // The component chose a device: its name and the input, size, subtype and standard lists.
    void on_video_device_selected();

    void startCamera();
    void stopCamera();
    // Stop, then start again. A camera lost while running unattended is first selected again by its name,
    // size and subtype; while no device of that name is listed nothing is started.
    void restartCamera();
    // With REMEMBER_CAMERA on and the camera stopped: selects the remembered camera by its name, with its
    // size and subtype (the simulated meter with its settings, a video file with its path). False when the
    // remembered camera is not in the device list.
    bool selectRememberedCamera();
    // With REMEMBER_CAMERA on and the camera stopped: a remembered camera that is a device not plugged in is
    // awaited as one lost while running unattended, and started when a device of its name is plugged in. False
    // when it is listed (the simulated meter and a video file always are) or none is remembered.
    bool awaitRememberedCamera();

signals:
    // Each time this screen sets blnGlobalCameraRunning.
    void cameraRunningChanged(bool running);
    // Running unattended, the camera this screen started went away: said here instead of in a message box, and
    // the camera is started again when a device of its name is plugged in.
    void cameraLost(const QString& name, const QString& reason);
    // The component's grid display text after the camera was configured (the image settings screen shows it).
    void sensitivityGridChanged(const QString& gridDisplayText);

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct CameraChoice
    {
        QString device;
        QString size;
        QString subtype;
    };

    void buildControls();
    void activateScreen();
    // The device list, asking for a choice when the component has no device selected.
    void showDeviceList();
    void setCameraRunning(bool running);
    CameraChoice currentChoice() const;
    // The size and subtype of the selected device named by these list items, where it lists them.
    void selectFormats(const CameraChoice& choice);
    // Writes the camera that just started well to the unattended settings file.
    void rememberCamera();
    void showRunningState(bool running);
    void showFrameRate(double framesPerSecond);
    // The field's value when it passes the range and decimals check; otherwise the field gets back the text
    // it had when entered and nothing is applied.
    std::optional<double> confirmedValue(QLineEdit* field, const NumericFieldLimits& limits);
    void applyFrameRate();
    void applySettleDelay();
    void choosePreferredSize(int videoSize);
    void openStreamDialog();
    void onDeviceAddedOrRemoved(bool added, bool isVideo, const QString& name);
    void onDeviceLost(const QString& reason);

    AppContext& m_ctx;
    VideoCapture& m_capture;
    MarkDetector& m_detector;
    std::optional<CameraChoice> m_startedCamera;
    std::optional<CameraChoice> m_lostCamera;

    QComboBox* m_devices = nullptr;
    QComboBox* m_inputs = nullptr;
    QComboBox* m_sizes = nullptr;
    QComboBox* m_subtypes = nullptr;
    QComboBox* m_standards = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    NumericFieldBinding* m_fields = nullptr;
    QLineEdit* m_frameRate = nullptr;
    QPushButton* m_frameRateOk = nullptr;
    QLineEdit* m_settleDelay = nullptr;
    UpDownControl* m_settleUpDown = nullptr;
    QPushButton* m_settleOk = nullptr;
    QGroupBox* m_preferredSizes = nullptr;
    std::array<QRadioButton*, 12> m_sizeOptions{};
    QPushButton* m_deviceDialog = nullptr;
    QPushButton* m_streamDialog = nullptr;
};
