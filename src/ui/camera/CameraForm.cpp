// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/camera/CameraForm.h"

#include "app/Clock.h"
#include "app/ConfigFiles.h"
#include "app/DetectorSettings.h"
#include "app/Dialogs.h"
#include "app/RegisterSettings.h"
#include "app/SettingsFile.h"
#include "camera/CameraConfiguration.h"
#include "camera/MarkDetector.h"
#include "capture/CaptureComponent.h"
#include "capture/MeterCamera.h"
#include "metering/MeteringContext.h"
#include "ui/camera/FindMarkForm.h"
#include "ui/camera/IntensityStripChart.h"
#include "ui/camera/MotionDetection.h"
#include "ui/camera/RegisterRegionBox.h"
#include "ui/camera/StartCameraForm.h"
#include "ui/capture/CapturePreviewWidget.h"
#include "ui/capture/PreviewWatch.h"
#include "ui/setup/ConfirmedNumberField.h"
#include "ui/setup/FieldCaption.h"
#include "ui/setup/NumericFieldBinding.h"
#include "ui/setup/UpDownControl.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {
QLineEdit* readOnlyField(const QString& name, const QString& toolTip, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setMaximumWidth(90);
    field->setToolTip(toolTip);
    return field;
}

QProgressBar* levelBar(const QString& name, QWidget* parent)
{
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setTextVisible(false);
    bar->setMaximumWidth(90);
    bar->setRange(1, 10);
    bar->setValue(1);
    return bar;
}

// A field or label set only when its text changes: renders every frame without disturbing a selection or a layout.
template <typename Field> void setIfChanged(Field* field, const QString& text)
{
    if (field->text() != text)
        field->setText(text);
}

void addRow(QFormLayout* form, const QString& label, QWidget* row, QWidget* buddy)
{
    auto* caption = new QLabel(label, form->parentWidget());
    captionField(caption, buddy);
    form->addRow(caption, row);
}
} // namespace

CameraForm::CameraForm(MeteringContext& ctx, MeterCamera& camera, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_camera(camera), m_binding(new NumericFieldBinding(ctx.services.dialogs, this))
{
    setObjectName(QStringLiteral("CameraForm"));
    setWindowTitle(QStringLiteral("Camera Setup"));
    // Opaque: the fields that change with every frame then repaint without the window frame behind them.
    setAutoFillBackground(true);
    m_preview = new CapturePreviewWidget(this);
    new PreviewWatch(m_camera.capture(), *m_preview);
    m_chart = new IntensityStripChart(m_history, this);
    m_register = new RegisterRegionBox(ctx.settings, ctx.services.dialogs, *m_preview, this);

    QWidget* detection = buildDetectionFrame();
    QWidget* tracking = buildTrackingFrame();
    // One caption width for both frames, so their fields line up in one column.
    const QList<QLabel*> captions = detection->findChildren<QLabel*>() + tracking->findChildren<QLabel*>();
    int captionWidth = 0;
    for (const QLabel* caption : captions)
        captionWidth = std::max(captionWidth, caption->sizeHint().width());
    for (QLabel* caption : captions)
        caption->setMinimumWidth(captionWidth);
    auto* controls = new QVBoxLayout;
    controls->addWidget(detection);
    controls->addWidget(tracking);
    controls->addWidget(buildButtons());
    controls->addStretch();

    auto* top = new QHBoxLayout;
    auto* pictureColumn = new QVBoxLayout;
    pictureColumn->addWidget(m_preview);
    pictureColumn->addWidget(m_register);
    pictureColumn->addStretch();
    top->addLayout(pictureColumn);
    top->addLayout(controls, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_chart, 1);

    connectCamera();
    updateSettingsButtons();
    // A camera stopped meanwhile takes the settings as they are now; a running one keeps what it runs with.
    if (m_camera.running())
        showSettingsApplied();
    else
        m_camera.applySettings();
}

CameraForm::~CameraForm() = default;

FindMarkForm* CameraForm::findMarkForm() const
{
    return m_findMark.data();
}

MotionDetection* CameraForm::motionDetection() const
{
    return m_motion.data();
}

StartCameraForm* CameraForm::startCameraForm() const
{
    return m_startCamera.data();
}

QWidget* CameraForm::buildDetectionFrame()
{
    auto* frame = new QGroupBox(QStringLiteral("Mark Detection"), this);
    frame->setObjectName(QStringLiteral("grbMarkDetection"));
    auto* form = new QFormLayout(frame);
    Dialogs& dialogs = m_ctx.services.dialogs;

    m_imageIntensity = readOnlyField(QStringLiteral("edtImageIntensity"),
                                     QStringLiteral("This is the current image intensity detected by the camera in "
                                                    "the active region. Monitor it to get an idea where to set the "
                                                    "initial trigger level (above)."),
                                     frame);
    addRow(form, QStringLiteral("Image Intensity Level"), m_imageIntensity, m_imageIntensity);

    m_triggerValue = new ConfirmedNumberField(
        dialogs, *m_binding,
        {QStringLiteral("edtTriggerValue"), QStringLiteral("UpDownTriggerValue"), QStringLiteral("butOKTriggerLevel")},
        {1, 100000}, {1, 100000}, frame);
    m_triggerValue->field()->setToolTip(QStringLiteral("Trigger Level. Set this to value which is only exceeded when "
                                                       "the mark passes the camera. Press OK to apply."));
    m_triggerValue->applied = [this](qint32 v) {
        levelsSetByHand();
        m_ctx.settings.TRIGGER_LEVEL = v;
        m_triggerLevelInField = v;
        renderDetection();
    };
    addRow(form, QStringLiteral("Mark Triggering Level"), m_triggerValue, m_triggerValue->field());

    m_previousMaximum = readOnlyField(QStringLiteral("edtPreviousMaximumIntensity"),
                                      QStringLiteral("The highest intensity level recorded when the mark was detected. "
                                                     "Use this to get an idea of the upper value to set the mark "
                                                     "trigger level to."),
                                      frame);
    addRow(form, QStringLiteral("Previous Max Intensity"), m_previousMaximum, m_previousMaximum);

    m_averagedMaximum = readOnlyField(QStringLiteral("edtAveragedMaxIntensity"),
                                      QStringLiteral("The highest intensity levels averaged over several mark "
                                                     "detection events. The number of events averaged is adjusted by "
                                                     "the value in the field below."),
                                      frame);
    addRow(form, QStringLiteral("Averaged  Max intensity"), m_averagedMaximum, m_averagedMaximum);

    m_maxesToAverage =
        new ConfirmedNumberField(dialogs, *m_binding,
                                 {QStringLiteral("edtMaxesToAverage"), QStringLiteral("UpDownMaxesToAverage"),
                                  QStringLiteral("butOKEventsToAverage")},
                                 {1, 100}, {1, 100}, frame);
    m_maxesToAverage->field()->setToolTip(QStringLiteral("The number of mark detection events to average over to get "
                                                         "the average maximum intensity displayed above"));
    m_maxesToAverage->applied = [this](qint32 v) { m_ctx.settings.TRIGGER_EVENTS_TO_AVERAGE = qint16(v); };
    addRow(form, QStringLiteral("Events to average"), m_maxesToAverage, m_maxesToAverage->field());

    m_debounce = new ConfirmedNumberField(dialogs, *m_binding,
                                          {QStringLiteral("edtDebounceMilliseconds"), QStringLiteral("UpDownDebounce"),
                                           QStringLiteral("butOkTriggeringDebounce")},
                                          {1, 60000}, {1, 60000}, frame);
    m_debounce->field()->setToolTip(QStringLiteral(
        "Debounce delay. The marks on meter disks can be irregular. The debounce delay waits for a mark to go for the "
        "indicated number of milliseconds before it can be detected again."));
    m_debounce->applied = [this](qint32 v) {
        levelsSetByHand();
        m_ctx.settings.DEBOUNCE_TIME = v;
    };
    addRow(form, QStringLiteral("Triggering debounce (msec)"), m_debounce, m_debounce->field());

    m_detectionBar = levelBar(QStringLiteral("DetectionBar"), frame);
    addRow(form, QStringLiteral("Level Exceeded"), m_detectionBar, m_detectionBar);
    m_markSignalled = levelBar(QStringLiteral("MarkSignalled"), frame);
    addRow(form, QStringLiteral("Mark Detected"), m_markSignalled, m_markSignalled);
    return frame;
}

QWidget* CameraForm::buildTrackingFrame()
{
    auto* frame = new QGroupBox(QStringLiteral("Auto Track Ambient Lighting"), this);
    frame->setObjectName(QStringLiteral("grbAutoTrackAmbientLighting"));
    auto* form = new QFormLayout(frame);

    m_trackIntensityChange = new QCheckBox(QStringLiteral("Track Intensity Change"), frame);
    m_trackIntensityChange->setObjectName(QStringLiteral("chkTrackIntensityChange"));
    m_trackIntensityChange->setToolTip(QStringLiteral(
        "When selected, the Auto Track Ambient Lighting feature adjusts the Mark Triggering Level in accordance with "
        "the overall change in ambient lighting leve."));
    connect(m_trackIntensityChange, &QCheckBox::clicked, this, [this](bool on) {
        m_ctx.settings.TRACK_AMBIENT_LIGHT_CHANGE = on;
        setTrackingEnabled(on);
    });
    form->addRow(m_trackIntensityChange);

    m_changeFromLastAverage = readOnlyField(
        QStringLiteral("edtChangeFromLastAverage"),
        QStringLiteral("Shows the change in the new average max intensity from the previous average. Used to adjust "
                       "the triggering level (by the Intensity Track%) if track ambient lighting is selected."),
        frame);
    addRow(form, QStringLiteral("Intensity Change"), m_changeFromLastAverage, m_changeFromLastAverage);

    m_trackPercent = new ConfirmedNumberField(
        m_ctx.services.dialogs, *m_binding,
        {QStringLiteral("edtTrackPercent"), QStringLiteral("UpDownTrackPercent"), QStringLiteral("butOkTrackPercent")},
        {1, 10000}, {1, 10000}, frame);
    m_trackPercent->field()->setToolTip(QStringLiteral(
        "If Auto Track Ambient Lighting is active, the change in average light level is multiplied by the Track "
        "Intensity% figure and added to (or subtracted from) the Mark Triggering Level."));
    m_trackPercent->applied = [this](qint32 v) { m_ctx.settings.PERCENT_AMBIENT_LIGHT_TO_TRACK = qint16(v); };
    addRow(form, QStringLiteral("Intensity Track %"), m_trackPercent, m_trackPercent->field());
    return frame;
}

QWidget* CameraForm::buildButtons()
{
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    auto button = [box](const QString& name, const QString& caption) {
        auto* b = new QPushButton(caption, box);
        b->setObjectName(name);
        return b;
    };
    m_loadFactoryDefaults = button(QStringLiteral("butLoadFactoryDefaults"), QStringLiteral("Load Factory Defaults"));
    m_saveAllSettings = button(QStringLiteral("butSaveAllSettings"), QStringLiteral("Save All Settings"));
    m_motionSensitivity = button(QStringLiteral("MotionSensitivity"), QStringLiteral("Adjust Motion Sensitivity"));
    m_startCameraButton = button(QStringLiteral("StartCamera"), QStringLiteral("Start/Stop Camera"));
    grid->addWidget(m_startCameraButton, 0, 0);
    grid->addWidget(m_motionSensitivity, 0, 1);
    grid->addWidget(m_loadFactoryDefaults, 1, 0);
    grid->addWidget(m_saveAllSettings, 1, 1);
    m_findMarkButton = button(QStringLiteral("butFindMark"), QStringLiteral("Find Mark"));
    m_findMarkButton->setToolTip(QStringLiteral("Watches the running camera until the mark has passed twice, then "
                                                "proposes the active cells, colours, intensity factor, trigger level "
                                                "and debounce."));
    grid->addWidget(m_findMarkButton, 2, 0, 1, 2);
    m_assuredRange = new QLabel(box);
    m_assuredRange->setObjectName(QStringLiteral("lblAssuredRange"));
    m_assuredRange->setWordWrap(true);
    grid->addWidget(m_assuredRange, 3, 0, 1, 2);
    m_direction = new QLabel(box);
    m_direction->setObjectName(QStringLiteral("lblDirection"));
    m_direction->setWordWrap(true);
    grid->addWidget(m_direction, 4, 0, 1, 2);
    connect(m_findMarkButton, &QPushButton::clicked, this, &CameraForm::openFindMark);
    connect(m_loadFactoryDefaults, &QPushButton::clicked, this, &CameraForm::loadFactoryDefaults);
    connect(m_saveAllSettings, &QPushButton::clicked, this, &CameraForm::saveAllSettings);
    connect(m_motionSensitivity, &QPushButton::clicked, this, &CameraForm::openMotionDetection);
    connect(m_startCameraButton, &QPushButton::clicked, this, &CameraForm::openStartCamera);
    return box;
}

void CameraForm::connectCamera()
{
    CaptureComponent& capture = m_camera.capture();
    connect(&capture, &CaptureComponent::previewChanged, this, [this, &capture] {
        m_preview->setImage(capture.previewImage());
        m_preview->setGrid(capture.grid());
    });
    connect(&capture, &VideoCapture::deviceLost, this, &CameraForm::updateSettingsButtons);
    connect(&m_camera, &MeterCamera::detectionChanged, this, &CameraForm::renderDetection);
    connect(&m_camera, &MeterCamera::settingFieldsChanged, this, &CameraForm::reloadSettingFields);
    connect(&m_camera, &MeterCamera::intensityMeasured, this, &CameraForm::recordIntensity);
    connect(&m_camera, &MeterCamera::settingsApplied, this, &CameraForm::showSettingsApplied);
    // A lost camera plugged in again is started without this screen's button.
    connect(&m_camera, &MeterCamera::runningChanged, this, &CameraForm::cameraChanged);
}

void CameraForm::showSettingsApplied()
{
    reloadSettingFields();
    m_markWasOn = m_camera.detector().blnMarkOn();
    m_history.clear();
    m_chart->update();
    if (m_motion)
        m_motion->reloadSettings();
    cameraChanged();
}

void CameraForm::reloadSettingFields()
{
    const GlobalSettings& s = m_ctx.settings;
    m_trackPercent->setValue(s.PERCENT_AMBIENT_LIGHT_TO_TRACK);
    m_triggerValue->setValue(s.TRIGGER_LEVEL);
    m_debounce->setValue(s.DEBOUNCE_TIME);
    m_maxesToAverage->setValue(s.TRIGGER_EVENTS_TO_AVERAGE);
    m_trackIntensityChange->setChecked(s.TRACK_AMBIENT_LIGHT_CHANGE);
    setTrackingEnabled(s.TRACK_AMBIENT_LIGHT_CHANGE);
    m_triggerLevelInField = s.TRIGGER_LEVEL;
    showAssuredRange();
    m_register->reload();
}

void CameraForm::showAssuredRange()
{
    const qint32 watts = m_ctx.settings.ASSURED_UP_TO_WATTS;
    // The power and its unit stay on one line.
    m_assuredRange->setText(QStringLiteral("Find Mark's settings count every revolution up to %1.")
                                .arg(AssuredPowerText(watts).replace(QLatin1Char(' '), QChar::Nbsp)));
    m_assuredRange->setVisible(watts > 0);
}

void CameraForm::showDirection()
{
    const GlobalSettings& s = m_ctx.settings;
    m_direction->setVisible(s.COUNT_DIRECTION);
    if (!s.COUNT_DIRECTION)
        return;
    if (!ForwardDegrees(s)) {
        setIfChanged(m_direction, QStringLiteral("The disc's direction is not counted yet: run Find Mark with a large "
                                                 "load switched on, so that it learns which way is forward."));
        return;
    }
    const PulseState& p = m_ctx.pulse;
    setIfChanged(m_direction, QStringLiteral("Direction counted: the last revolution turned %1; %2 of the passes "
                                             "since the start did not tell their direction.")
                                  .arg(p.lastTurn == Turn::Backward ? QStringLiteral("backwards (export)")
                                                                    : QStringLiteral("forwards"))
                                  .arg(p.undecidedPasses));
}

void CameraForm::levelsSetByHand()
{
    // What Find Mark measured was for its own levels.
    m_ctx.settings.ASSURED_UP_TO_WATTS = 0;
    showAssuredRange();
}

void CameraForm::setTrackingEnabled(bool on)
{
    m_trackPercent->field()->setEnabled(on);
    m_trackPercent->upDown()->setEnabled(on);
    m_trackPercent->okButton()->setEnabled(on);
}

void CameraForm::renderDetection()
{
    const MarkDetector& detector = m_camera.detector();
    const MarkDetectorDisplay& d = detector.display();
    setIfChanged(m_imageIntensity, d.edtImageIntensity);
    setIfChanged(m_previousMaximum, d.edtPreviousMaximumIntensity);
    setIfChanged(m_averagedMaximum, d.edtAveragedMaxIntensity);
    setIfChanged(m_changeFromLastAverage, d.edtChangeFromLastAverage);
    // Rewritten only when the level in use moved (ambient tracking, factory defaults), so a value being
    // typed survives frames and mark-offs that leave the level where it was. A refused entry then falls
    // back to the level in use, not to the text the field had when it was entered.
    if (m_ctx.settings.TRIGGER_LEVEL != m_triggerLevelInField) {
        m_triggerLevelInField = m_ctx.settings.TRIGGER_LEVEL;
        m_binding->rewrite(m_triggerValue->field(), QString::number(m_triggerLevelInField));
    }
    for (QProgressBar* bar : {m_detectionBar, m_markSignalled})
        bar->setRange(d.barMinimum, d.barMaximum);
    m_detectionBar->setValue(d.DetectionBar);
    m_markSignalled->setValue(d.MarkSignalled);
    m_preview->setMarkOn(d.MarkSignalled == MarkDetectorDisplay::BarOn);
    // The level in use, which moves with the light when the levels follow it, not the one set.
    m_chart->setTriggerLevel(detector.triggerLevel());
    showDirection();
    emit detectionRefreshed();
}

void CameraForm::recordIntensity(qint32 intensity)
{
    const bool markOn = m_camera.detector().blnMarkOn();
    m_history.add(m_ctx.services.clock.timer(), intensity, markOn && !m_markWasOn);
    m_markWasOn = markOn;
    m_chart->historyChanged();
}

void CameraForm::updateSettingsButtons()
{
    const bool stopped = !m_camera.running();
    m_loadFactoryDefaults->setEnabled(stopped);
    m_saveAllSettings->setEnabled(stopped);
    m_findMarkButton->setEnabled(!stopped);
}

void CameraForm::openStartCamera()
{
    if (!m_startCamera)
        m_startCamera = new StartCameraForm(m_ctx, m_camera, this);
    m_startCamera->exec();
    cameraChanged();
}

void CameraForm::cameraChanged()
{
    updateSettingsButtons();
    m_preview->setFixedSize(m_camera.capture().displaySize());
    m_preview->setGrid(m_camera.capture().grid());
    emit detectionRefreshed();
}

void CameraForm::openMotionDetection()
{
    if (!m_motion) {
        m_motion = new MotionDetection(m_ctx, m_camera.capture(), m_camera.detector(), this);
        m_motion->setAttribute(Qt::WA_DeleteOnClose);
        connect(this, &CameraForm::detectionRefreshed, m_motion.data(), &MotionDetection::refresh);
    }
    m_motion->show();
    m_motion->raise();
    m_motion->activateWindow();
}

void CameraForm::loadFactoryDefaults()
{
    if (m_camera.running())
        return;
    SettingsDefaults::CameraFactoryDefaults(m_ctx.settings);
    ApplyFactoryDefaults(DetectorSettingsFile(), m_ctx.settings);
    ApplyFactoryDefaults(RegisterSettingsFile(), m_ctx.settings);
    // Both screens show the settings they were opened with; the next opening shows the factory values.
    delete m_motion.data();
    delete m_startCamera.data();
    m_camera.applySettings();
    update();
}

void CameraForm::saveAllSettings()
{
    if (m_camera.running())
        return;
    // The writer's retries wait with events running: a close meanwhile waits until the save is over.
    const BusyWindow::Work work(m_busy);
    for (const QString& problem : m_camera.saveDetectionSettings())
        m_ctx.services.dialogs.message(problem);
    if (const QString error = SaveSettingsFile(m_ctx, RegisterSettingsFile()); !error.isEmpty())
        m_ctx.services.dialogs.message(SettingsFileSaveProblem(RegisterSettingsFile()) + error);
}

void CameraForm::openFindMark()
{
    if (!m_camera.findMarkSession() && !m_camera.startFindMark().isEmpty())
        return;
    if (!m_findMark) {
        m_findMark = new FindMarkForm(*m_camera.findMarkSession(), m_camera.capture(), this);
        m_findMark->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_findMark->show();
    m_findMark->raise();
    m_findMark->activateWindow();
}

void CameraForm::showEvent(QShowEvent* event)
{
    updateSettingsButtons();
    QWidget::showEvent(event);
}

void CameraForm::closeEvent(QCloseEvent* event)
{
    Dialogs& dialogs = m_ctx.services.dialogs;
    if (dialogs.message(QStringLiteral("Closing this screen will stop the camera and data collection. Are you sure "
                                       "you want to close it?"),
                        Dialogs::Buttons::YesNo) != Dialogs::Answer::Yes) {
        event->ignore();
        return;
    }
    if (m_camera.running()) {
        m_loadFactoryDefaults->setEnabled(false);
        m_saveAllSettings->setEnabled(false);
        dialogs.message(QStringLiteral("Camera is still running, please stop it before trying to exit this form"));
        event->ignore();
        return;
    }
    m_loadFactoryDefaults->setEnabled(true);
    m_saveAllSettings->setEnabled(true);
    event->accept();
}
