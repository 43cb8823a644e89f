// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/setup/SettingsGroupForm.h"

// "Unattended Operation": remembering the camera, starting it and resuming logging at start-up, and the
// stalled-camera watchdog.
class UnattendedSetupForm : public SettingsGroupForm
{
    Q_OBJECT

public:
    explicit UnattendedSetupForm(AppContext& ctx, QWidget* parent = nullptr);

protected:
    void fillFields() override;
    void applyFields() override;
    QString saveGroup() override;
    void loadGroupFactoryDefaults() override;

private:
    QCheckBox* m_remember = nullptr;
    QLabel* m_remembered = nullptr;
    QCheckBox* m_startCamera = nullptr;
    QCheckBox* m_resume = nullptr;
    QLineEdit* m_stalledSeconds = nullptr;
};
