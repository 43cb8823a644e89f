// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/setup/SettingsGroupForm.h"

// "Unattended Operation": remembering the camera, starting it and resuming logging at start-up, and the
// stalled-camera watchdog.
class UnattendedSetupForm : public SettingsGroupForm
{
    Q_OBJECT

public:
    // Two short lines: a wrapped label would not make the screen taller when it appears.
    static inline const QString ResumeNeedsBackupText =
        QStringLiteral("Resuming needs the disk backup: with \"Write array to disk\" off\n"
                       "(Setup, Advanced Settings), an interrupted run is not resumed.");

    explicit UnattendedSetupForm(AppContext& ctx, QWidget* parent = nullptr);

protected:
    void fillFields() override;
    void applyFields() override;
    QString saveGroup() override;
    void loadGroupFactoryDefaults() override;

private:
    bool resumeCannotWork() const;
    void showWhetherResumeCanWork();

    QCheckBox* m_remember = nullptr;
    QLabel* m_remembered = nullptr;
    QCheckBox* m_startCamera = nullptr;
    QCheckBox* m_resume = nullptr;
    QLabel* m_resumeNeedsBackup = nullptr;
    QLineEdit* m_stalledSeconds = nullptr;
};
