// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/setup/SettingsGroupForm.h"

// The meter constant, the price of one energy unit, and whether the disc may turn backwards.
class EnergyMeterSetupForm : public SettingsGroupForm
{
    Q_OBJECT

public:
    explicit EnergyMeterSetupForm(AppContext& ctx, QWidget* parent = nullptr);

    void ApplyMeterFields();

protected:
    void fillFields() override;
    void applyFields() override { ApplyMeterFields(); }
    QString saveGroup() override;
    void loadGroupFactoryDefaults() override;

private:
    QLineEdit* m_revsPerUnit = nullptr;
    QLineEdit* m_costPerUnit = nullptr;
    QCheckBox* m_countDirection = nullptr;
};
