// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/setup/SettingsGroupForm.h"

struct MeteringContext;
class QTimer;

// "Tariffs": a second tariff for a two-rate meter, its name and price, the hours it is in force or whether the
// utility's switch decides through MQTT, and the tariff in force now.
class TariffSetupForm : public SettingsGroupForm
{
    Q_OBJECT

public:
    explicit TariffSetupForm(MeteringContext& ctx, QWidget* parent = nullptr);

    QLabel* inForceNow() const { return m_inForce; }

protected:
    void fillFields() override;
    void applyFields() override;
    QString saveGroup() override;
    void loadGroupFactoryDefaults() override;

private:
    void showTariffInForce();
    void enableSecondTariff();

    MeteringContext& m_metering;
    QCheckBox* m_twoTariffs = nullptr;
    QLineEdit* m_name1 = nullptr;
    QLabel* m_cost1 = nullptr;
    QLineEdit* m_name2 = nullptr;
    QLineEdit* m_cost2 = nullptr;
    QLineEdit* m_hours = nullptr;
    QCheckBox* m_allWeekend = nullptr;
    QCheckBox* m_fromMqtt = nullptr;
    QLabel* m_inForce = nullptr;
    QTimer* m_clock = nullptr;
};
