// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <array>
#include <optional>

class MeterCamera;
class NumericFieldBinding;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class UpDownControl;
class CaptureComponent;
struct AppContext;
struct NumericFieldLimits;

// "Select and Start Camera", a view over the meter's camera: chooses the capture device and its formats, the
// frame rate, the settle delay and the displayed image size, and starts and stops the camera (and with it mark
// detection). Open it modal with exec(); each opening refreshes it from the component and the settings.
class StartCameraForm : public QDialog
{
    Q_OBJECT
public:
    StartCameraForm(AppContext& ctx, MeterCamera& camera, QWidget* parent = nullptr);

    // Fills the device list from the component and selects its device.
    void assignDeviceList();
    // The component chose a device: its name and the input, size, subtype and standard lists.
    void on_video_device_selected();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void activateScreen();
    // The device list, asking for a choice when the component has no device selected.
    void showDeviceList();
    void startCamera();
    void stopCamera();
    void showRunningState(bool running);
    void showFrameRate(double framesPerSecond);
    // The field's value when it passes the range and decimals check; otherwise the field gets back the text
    // it had when entered and nothing is applied.
    std::optional<double> confirmedValue(QLineEdit* field, const NumericFieldLimits& limits);
    void applyFrameRate();
    void applySettleDelay();
    void choosePreferredSize(int videoSize);
    void openStreamDialog();

    AppContext& m_ctx;
    MeterCamera& m_camera;
    CaptureComponent& m_capture;

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
