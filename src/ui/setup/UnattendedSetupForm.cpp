// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/UnattendedSetupForm.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/SettingsFile.h"
#include "app/UnattendedSettings.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

UnattendedSetupForm::UnattendedSetupForm(AppContext& ctx, QWidget* parent)
    : SettingsGroupForm(ctx, QStringLiteral("UnattendedSetupForm"), QStringLiteral("Unattended Operation"), parent)
{
    m_remember = checkBox(QStringLiteral("chkRememberCamera"), QStringLiteral("Remember the camera"),
                          QStringLiteral("The camera that last started well is selected again by its name, with its "
                                         "size and subtype, the next time the camera selection opens."));
    m_remembered = label(QStringLiteral("lblRememberedCamera"), QString());
    m_remembered->setWordWrap(true);
    m_remembered->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* camera = new QGroupBox(QStringLiteral("Camera"), this);
    auto* cameraForm = new QFormLayout(camera);
    cameraForm->addRow(m_remember);
    cameraForm->addRow(label(QStringLiteral("lblRememberedCaption"), QStringLiteral("Remembered camera")),
                       m_remembered);

    m_startCamera =
        checkBox(QStringLiteral("chkStartCameraAtStartup"), QStringLiteral("Start the camera at start-up"),
                 QStringLiteral("After start-up the remembered camera starts with no one at the keyboard."));
    m_resume =
        checkBox(QStringLiteral("chkResumeLoggingAfterRestart"), QStringLiteral("Resume logging after a restart"),
                 QStringLiteral("After a crash, a power cut or a reboot during logging, Wattsight starts the "
                                "camera and continues the same run in the same DATASTOR.DTA."));
    m_resumeNeedsBackup = label(QStringLiteral("lblResumeNeedsBackup"), ResumeNeedsBackupText);
    connect(m_resume, &QCheckBox::toggled, this, &UnattendedSetupForm::showWhetherResumeCanWork);
    auto* startup = new QGroupBox(QStringLiteral("Start-up"), this);
    auto* startupLayout = new QVBoxLayout(startup);
    startupLayout->addWidget(m_startCamera);
    startupLayout->addWidget(m_resume);
    startupLayout->addWidget(m_resumeNeedsBackup);

    m_stalledSeconds = numericField(
        QStringLiteral("edtStalledCameraSeconds"),
        QStringLiteral("When the running camera delivers no picture for this many seconds, the logging screen says "
                       "so and the camera is restarted, again after each such wait. 0 switches this off."),
        {double(UnattendedRanges::STALLED_CAMERA_SECONDS.min), double(UnattendedRanges::STALLED_CAMERA_SECONDS.max),
         0});
    auto* watchdog = new QGroupBox(QStringLiteral("Watchdog"), this);
    auto* watchdogForm = new QFormLayout(watchdog);
    watchdogForm->addRow(
        label(QStringLiteral("lblStalledCameraSeconds"), QStringLiteral("Seconds without a picture before a restart")),
        m_stalledSeconds);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(camera);
    layout->addWidget(startup);
    layout->addWidget(watchdog);
    finishLoading(layout, ButtonToolTips::None);
}

void UnattendedSetupForm::fillFields()
{
    const GlobalSettings& s = m_ctx.settings;
    m_remember->setChecked(s.REMEMBER_CAMERA);
    QStringList parts{s.CAMERA_DEVICE, s.CAMERA_VIDEO_SIZE, s.CAMERA_SUBTYPE};
    parts.removeAll(QString());
    if (!s.CAMERA_VIDEO_FILE.isEmpty() && s.CAMERA_DEVICE.startsWith(QLatin1String("Video file")))
        parts << s.CAMERA_VIDEO_FILE;
    m_remembered->setText(s.CAMERA_DEVICE.isEmpty() ? QStringLiteral("(none yet)") : parts.join(QStringLiteral(", ")));
    m_startCamera->setChecked(s.START_CAMERA_AT_STARTUP);
    m_resume->setChecked(s.RESUME_LOGGING_AFTER_RESTART);
    m_stalledSeconds->setText(QString::number(s.STALLED_CAMERA_SECONDS));
    showWhetherResumeCanWork();
}

bool UnattendedSetupForm::resumeCannotWork() const
{
    return m_resume->isChecked() && !m_ctx.settings.WRITE_ARRAY_TO_DISK;
}

void UnattendedSetupForm::showWhetherResumeCanWork()
{
    m_resumeNeedsBackup->setVisible(resumeCannotWork());
}

void UnattendedSetupForm::applyFields()
{
    GlobalSettings& s = m_ctx.settings;
    s.REMEMBER_CAMERA = m_remember->isChecked();
    s.START_CAMERA_AT_STARTUP = m_startCamera->isChecked();
    s.RESUME_LOGGING_AFTER_RESTART = m_resume->isChecked();
    applyWholeNumber(m_stalledSeconds, s.STALLED_CAMERA_SECONDS);
    showWhetherResumeCanWork();
}

QString UnattendedSetupForm::saveGroup()
{
    const QString error = SaveUnattendedSettings(m_ctx);
    // The backup setting lives on another screen, which may have changed it since this one opened.
    if (error.isEmpty() && resumeCannotWork())
        m_ctx.services.dialogs.message(ResumeNeedsBackupText, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
    return error;
}

void UnattendedSetupForm::loadGroupFactoryDefaults()
{
    ApplyFactoryDefaults(UnattendedSettingsFile(), m_ctx.settings);
}
