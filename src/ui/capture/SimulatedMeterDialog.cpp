// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/SimulatedMeterDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>

namespace {
QDoubleSpinBox* spin(QWidget* parent, const char* name, double lo, double hi, double value, int decimals)
{
    auto* s = new QDoubleSpinBox(parent);
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(lo, hi);
    s->setDecimals(decimals);
    s->setValue(value);
    return s;
}
} // namespace

SimulatedMeterDialog::SimulatedMeterDialog(const SimulatedMeterSettings& s, QWidget* parent)
    : QDialog(parent), m_settings(s)
{
    setWindowTitle(QStringLiteral("Simulated Meter"));
    m_power = spin(this, "edtPower", 0, 100000, s.powerWatts, 0);
    m_revs = spin(this, "edtRevsPerKWh", 1, 100000, s.revsPerKWh, 1);
    m_noise = spin(this, "edtNoise", 0, 100, s.noise, 1);
    m_drift = spin(this, "edtDrift", 0, 50, s.drift * 100, 1);
    m_markWidth = spin(this, "edtMarkWidth", 5, 100, s.markWidth * 100, 0);
    m_flicker = new QCheckBox(this);
    m_flicker->setObjectName(QStringLiteral("chkFlicker"));
    m_flicker->setChecked(s.flicker);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Power (W)"), m_power);
    form->addRow(QStringLiteral("Revolutions per kWh"), m_revs);
    form->addRow(QStringLiteral("Sensor noise (grey levels)"), m_noise);
    form->addRow(QStringLiteral("Light drift (%)"), m_drift);
    form->addRow(QStringLiteral("Mark width (% of view)"), m_markWidth);
    form->addRow(QStringLiteral("Lamp flicker"), m_flicker);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

SimulatedMeterSettings SimulatedMeterDialog::settings() const
{
    SimulatedMeterSettings s = m_settings;
    s.powerWatts = m_power->value();
    s.revsPerKWh = m_revs->value();
    s.noise = m_noise->value();
    s.drift = m_drift->value() / 100.0;
    s.markWidth = m_markWidth->value() / 100.0;
    s.flicker = m_flicker->isChecked();
    return s;
}
