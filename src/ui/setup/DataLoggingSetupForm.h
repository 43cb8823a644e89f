// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/setup/SettingsGroupForm.h"

// The seconds between two logged records.
class DataLoggingSetupForm : public SettingsGroupForm
{
    Q_OBJECT

public:
    explicit DataLoggingSetupForm(AppContext& ctx, QWidget* parent = nullptr);

    void ApplyLoggingFields();

protected:
    void fillFields() override;
    void applyFields() override { ApplyLoggingFields(); }
    QString saveGroup() override;
    void loadGroupFactoryDefaults() override;

private:
    QLineEdit* m_interval = nullptr;
};
