// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/camera/StartCameraForm.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/FieldValidation.h"
#include "app/TextFormat.h"
#include "camera/CameraConfiguration.h"
#include "capture/CaptureComponent.h"
#include "capture/MeterCamera.h"
#include "ui/capture/CaptureDialogs.h"
#include "ui/setup/ComboBoxList.h"
#include "ui/setup/NumericFieldBinding.h"
#include "ui/setup/UpDownControl.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
const QString SelectCamera = QStringLiteral("Select a camera from this list");
const NumericFieldLimits FrameRateLimits{SettingsRanges::FRAME_RATE.min, SettingsRanges::FRAME_RATE.max, 3};
const NumericFieldLimits SettleDelayLimits{double(SettingsRanges::SETTLE_TIME.min),
                                           double(SettingsRanges::SETTLE_TIME.max), 0};

QComboBox* makeList(QWidget* parent, const QString& name)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(24);
    return box;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QLineEdit* makeField(QWidget* parent, const QString& name, int width)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setFixedWidth(width);
    field->setAlignment(Qt::AlignRight);
    return field;
}
} // namespace

StartCameraForm::StartCameraForm(AppContext& ctx, MeterCamera& camera, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_camera(camera), m_capture(camera.capture())
{
    setObjectName(QStringLiteral("StartCameraForm"));
    setWindowTitle(QStringLiteral("Select and Start Camera"));
    setModal(true);
    buildControls();
    m_fields = new NumericFieldBinding(ctx.services.dialogs, this);
    m_fields->bind(m_frameRate, FrameRateLimits);
    m_fields->bind(m_settleDelay, SettleDelayLimits);

    connect(m_devices, &QComboBox::activated, this, [this](int index) {
        // Choosing the device in use again must not restart it, unless choosing it is what asks for a file.
        if (index != m_capture.deviceIndex() || m_capture.choiceAsksEachTime(index))
            m_capture.setDeviceIndex(index);
    });
    connect(m_inputs, &QComboBox::activated, this, [this](int index) { m_capture.setInputIndex(index); });
    connect(m_sizes, &QComboBox::activated, this, [this](int index) { m_capture.setSizeIndex(index); });
    connect(m_subtypes, &QComboBox::activated, this, [this](int index) { m_capture.setSubtypeIndex(index); });
    connect(m_standards, &QComboBox::activated, this,
            [this](int index) { m_capture.setAnalogVideoStandardIndex(index); });
    connect(m_start, &QPushButton::clicked, this, &StartCameraForm::startCamera);
    connect(m_stop, &QPushButton::clicked, this, &StartCameraForm::stopCamera);
    connect(m_frameRateOk, &QPushButton::clicked, this, &StartCameraForm::applyFrameRate);
    connect(m_settleOk, &QPushButton::clicked, this, &StartCameraForm::applySettleDelay);
    // Enter in a field is its OK button.
    connect(m_frameRate, &QLineEdit::returnPressed, this, &StartCameraForm::applyFrameRate);
    connect(m_settleDelay, &QLineEdit::returnPressed, this, &StartCameraForm::applySettleDelay);
    connect(m_deviceDialog, &QPushButton::clicked, this,
            [this] { showDeviceSettings(m_capture, m_ctx.services.dialogs, this); });
    connect(m_streamDialog, &QPushButton::clicked, this, &StartCameraForm::openStreamDialog);
    for (int n = 1; n <= CameraConfiguration::PreferredVideoSizeCount; ++n)
        connect(m_sizeOptions[std::size_t(n - 1)], &QRadioButton::clicked, this, [this, n] { choosePreferredSize(n); });

    connect(&m_capture, &VideoCapture::videoDeviceSelected, this, &StartCameraForm::on_video_device_selected);
    connect(&m_camera, &MeterCamera::deviceListChanged, this, &StartCameraForm::assignDeviceList);
    connect(&m_camera, &MeterCamera::runningChanged, this, &StartCameraForm::showRunningState);
}

void StartCameraForm::buildControls()
{
    m_devices = makeList(this, QStringLiteral("cboVideoDevices"));
    m_devices->setPlaceholderText(QStringLiteral("SELECT FIRST A VIDEO CAPTURE DEVICE IN THIS LIST"));
    m_devices->setMinimumContentsLength(40);
    m_devices->setAccessibleName(QStringLiteral("Select Camera"));
    m_devices->setToolTip(QStringLiteral("Select the camera you wish to use"));
    auto* deviceFrame = new QGroupBox(QStringLiteral("Select Camera"), this);
    (new QVBoxLayout(deviceFrame))->addWidget(m_devices);

    m_inputs = makeList(this, QStringLiteral("cboVideoInputs"));
    m_sizes = makeList(this, QStringLiteral("cboVideoSizes"));
    m_subtypes = makeList(this, QStringLiteral("cboVideoSubtypes"));
    m_standards = makeList(this, QStringLiteral("cboAnalogVideoStandard"));
    auto* formats = new QFormLayout;
    formats->addRow(QStringLiteral("Video Input"), m_inputs);
    formats->addRow(QStringLiteral("Video Size"), m_sizes);
    formats->addRow(QStringLiteral("Video Subtype"), m_subtypes);
    formats->addRow(QStringLiteral("Analogue Video Standard"), m_standards);

    m_start = makeButton(this, QStringLiteral("btnStartCamera"), QStringLiteral("Start Camera"));
    m_stop = makeButton(this, QStringLiteral("btnStopCamera"), QStringLiteral("Stop Camera"));
    auto* startStop = new QHBoxLayout;
    startStop->addWidget(m_start);
    startStop->addWidget(m_stop);

    m_frameRate = makeField(this, QStringLiteral("edtFrameRate"), 90);
    m_frameRate->setAccessibleName(QStringLiteral("Frame rate"));
    m_frameRate->setToolTip(QStringLiteral("You need a high enough frame rate for the disk movement to look smooth. "
                                           "Remember that the disk can move quickly when heavy appliances are on."));
    m_frameRateOk = makeButton(this, QStringLiteral("btnFrameRate"), QStringLiteral("OK"));
    auto* rateFrame = new QGroupBox(QStringLiteral("Frame rate"), this);
    auto* rateRow = new QHBoxLayout(rateFrame);
    rateRow->addWidget(m_frameRate);
    rateRow->addWidget(m_frameRateOk);
    rateRow->addStretch();

    m_settleDelay = makeField(this, QStringLiteral("edtSettleDelay"), 90);
    m_settleDelay->setToolTip(
        QStringLiteral("This is the delay in milliseconds after starting the camera before the Mark Detection process "
                       "starts. This avoids spurious detections as the system starts up. Usually leave at default."));
    m_settleUpDown =
        new UpDownControl(m_settleDelay, SettingsRanges::SETTLE_TIME.min, SettingsRanges::SETTLE_TIME.max, this);
    m_settleUpDown->setObjectName(QStringLiteral("UpDownSettleDelay"));
    m_settleOk = makeButton(this, QStringLiteral("butOKSettle"), QStringLiteral("OK"));
    auto* settleLabel = new QLabel(QStringLiteral("Camera settle time (milliseconds)"), this);
    settleLabel->setBuddy(m_settleDelay);
    auto* settleRow = new QHBoxLayout;
    settleRow->setSpacing(2);
    settleRow->addWidget(m_settleDelay);
    settleRow->addWidget(m_settleUpDown);
    settleRow->addSpacing(6);
    settleRow->addWidget(m_settleOk);
    settleRow->addStretch();
    auto* settle = new QVBoxLayout;
    settle->addWidget(settleLabel);
    settle->addLayout(settleRow);

    m_deviceDialog = makeButton(this, QStringLiteral("btnDeviceDialog"), QStringLiteral("device"));
    m_deviceDialog->setToolTip(QStringLiteral("Calls the standard settings dialog that comes with your camera."));
    m_streamDialog = makeButton(this, QStringLiteral("btnStreamDialog"), QStringLiteral("stream"));
    m_streamDialog->setToolTip(QStringLiteral("This is a standard dialog that comes with your camera. If available, "
                                              "this is the best place to set the frame rate."));
    auto* dialogFrame = new QGroupBox(QStringLiteral("Camera Specific Dialogues"), this);
    auto* dialogRow = new QHBoxLayout(dialogFrame);
    dialogRow->addWidget(m_deviceDialog);
    dialogRow->addWidget(m_streamDialog);

    m_preferredSizes = new QGroupBox(QStringLiteral("preferred video sizes (examples)"), this);
    m_preferredSizes->setObjectName(QStringLiteral("grbPreferredVideoSizes"));
    m_preferredSizes->setToolTip(QStringLiteral("This changes the size of the camera image on the Camera Setup Form. "
                                                "Usually leave this at the default setting."));
    auto* sizeGrid = new QGridLayout(m_preferredSizes);
    for (int n = 1; n <= CameraConfiguration::PreferredVideoSizeCount; ++n) {
        const QSize size = CameraConfiguration::preferredVideoSize(n);
        auto* option = new QRadioButton(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()), m_preferredSizes);
        option->setObjectName(QStringLiteral("rdgPreferredVideoSize%1").arg(n));
        sizeGrid->addWidget(option, (n - 1) / 3, (n - 1) % 3);
        m_sizeOptions[std::size_t(n - 1)] = option;
    }

    auto* left = new QVBoxLayout;
    left->addWidget(deviceFrame);
    left->addLayout(formats);
    left->addSpacing(12);
    left->addLayout(startStop);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(rateFrame);
    right->addLayout(settle);
    right->addWidget(dialogFrame);
    right->addWidget(m_preferredSizes);
    right->addStretch();
    auto* columns = new QHBoxLayout(this);
    columns->addLayout(left, 3);
    columns->addSpacing(8);
    columns->addLayout(right, 2);
}

void StartCameraForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        activateScreen();
}

void StartCameraForm::activateScreen()
{
    m_camera.confirmRunningState();
    if (!m_camera.running()) {
        if (m_capture.deviceIndex() == -1)
            m_camera.selectRememberedCamera();
        showDeviceList();
        on_video_device_selected();
    }

    GlobalSettings& s = m_ctx.settings;
    const int videoSize = s.VIDEO_SIZE >= 1 && s.VIDEO_SIZE <= CameraConfiguration::PreferredVideoSizeCount
                              ? s.VIDEO_SIZE
                              : CameraConfiguration::DefaultVideoSize;
    m_sizeOptions[std::size_t(videoSize - 1)]->setChecked(true);
    choosePreferredSize(videoSize);

    m_capture.setFrameRate(s.FRAME_RATE);
    s.FRAME_RATE = m_capture.frameRate();
    showFrameRate(s.FRAME_RATE);

    m_settleUpDown->setRange(SettingsRanges::SETTLE_TIME.min, SettingsRanges::SETTLE_TIME.max);
    m_settleDelay->setText(QString::number(s.SETTLE_TIME));
}

void StartCameraForm::assignDeviceList()
{
    AssignListToComboBox(*m_devices, m_capture.deviceList(), m_capture.deviceIndex());
}

void StartCameraForm::showDeviceList()
{
    assignDeviceList();
    if (m_capture.deviceIndex() == -1)
        showComboBoxText(*m_devices, SelectCamera);
}

void StartCameraForm::on_video_device_selected()
{
    showComboBoxText(*m_devices, m_capture.deviceName());
    AssignListToComboBox(*m_standards, m_capture.analogVideoStandardList(), m_capture.analogVideoStandardIndex());
    AssignListToComboBox(*m_sizes, m_capture.sizeList(), m_capture.sizeIndex());
    AssignListToComboBox(*m_subtypes, m_capture.subtypeList(), m_capture.subtypeIndex());
    AssignListToComboBox(*m_inputs, m_capture.inputList(), m_capture.inputIndex());
}

void StartCameraForm::showRunningState(bool running)
{
    // The button just pressed goes grey; focus goes to its partner rather than to the next field.
    QPushButton* next = running ? m_stop : m_start;
    const bool pressed = (running ? m_start : m_stop)->hasFocus();
    m_start->setEnabled(!running);
    m_stop->setEnabled(running);
    if (pressed)
        next->setFocus();
    m_devices->setEnabled(!running);
    m_preferredSizes->setEnabled(!running);
}

void StartCameraForm::startCamera()
{
    m_camera.start();
}

void StartCameraForm::stopCamera()
{
    m_camera.stop();
    if (m_camera.running())
        showDeviceList();
}

void StartCameraForm::showFrameRate(double framesPerSecond)
{
    m_frameRate->setText(CameraConfiguration::formatFrameRate(framesPerSecond));
}

std::optional<double> StartCameraForm::confirmedValue(QLineEdit* field, const NumericFieldLimits& limits)
{
    const FieldValidation::TextResult checked = FieldValidation::ValidateRangeAndDecimals(
        field->text(), limits.min, limits.max, limits.decimals, m_fields->oldText(), true);
    FieldValidation::ShowValidationMessage(m_ctx.services.dialogs, checked.message);
    field->setText(checked.text);
    const std::optional<double> value = TextFormat::parseNumber(checked.text);
    if (!value || *value < limits.min || *value > limits.max)
        return std::nullopt;
    return value;
}

void StartCameraForm::applyFrameRate()
{
    const std::optional<double> typed = confirmedValue(m_frameRate, FrameRateLimits);
    if (!typed)
        return;
    m_capture.setFrameRate(*typed);
    showFrameRate(m_capture.frameRate());
    m_ctx.settings.FRAME_RATE = TextFormat::parseNumber(m_frameRate->text()).value_or(*typed);
}

void StartCameraForm::applySettleDelay()
{
    if (const std::optional<double> typed = confirmedValue(m_settleDelay, SettleDelayLimits))
        m_ctx.settings.SETTLE_TIME = qint32(*typed);
}

void StartCameraForm::choosePreferredSize(int videoSize)
{
    const QSize size = CameraConfiguration::preferredVideoSize(videoSize);
    m_capture.setDisplaySize(size.width(), size.height(), m_ctx.settings.STRETCH_VIDEO_SIZE);
    m_ctx.settings.VIDEO_SIZE = qint16(videoSize);
}

void StartCameraForm::openStreamDialog()
{
    showStreamSettings(m_capture, this);
    on_video_device_selected();
    showFrameRate(m_capture.frameRate());
    if (const std::optional<double> shown = TextFormat::parseNumber(m_frameRate->text()))
        m_ctx.settings.FRAME_RATE = *shown;
    update();
}
