// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/SimulatedMeterDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <algorithm>

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
    m_noise = spin(this, "edtNoise", 0, 100, s.noise, 1);
    m_drift = spin(this, "edtDrift", 0, 50, s.drift * 100, 1);
    m_markWidth = spin(this, "edtMarkWidth", 5, 100, s.markWidth * 100, 0);
    m_flicker = new QCheckBox(this);
    m_flicker->setObjectName(QStringLiteral("chkFlicker"));
    m_flicker->setChecked(s.flicker);
    m_mark = new QComboBox(this);
    m_mark->setObjectName(QStringLiteral("cboMark"));
    m_mark->addItems({QStringLiteral("Black mark on a silver disc"), QStringLiteral("Red mark on a silver disc"),
                      QStringLiteral("Light mark on a dark disc")});
    m_mark->setCurrentIndex(int(s.mark));
    m_bandTop = spin(this, "edtBandTop", 0, 90, s.bandTop * 100, 0);
    m_bandHeight = spin(this, "edtBandHeight", 10, 100, s.bandHeight * 100, 0);
    m_hotSpot = new QCheckBox(this);
    m_hotSpot->setObjectName(QStringLiteral("chkHotSpot"));
    m_hotSpot->setChecked(s.hotSpot);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Power (W)"), m_power);
    form->addRow(QStringLiteral("Revolutions per kWh"),
                 new QLabel(QStringLiteral("%1, as set on Meter Setup").arg(s.revsPerKWh), this));
    form->addRow(QStringLiteral("Sensor noise (grey levels)"), m_noise);
    form->addRow(QStringLiteral("Light drift (%)"), m_drift);
    form->addRow(QStringLiteral("Mark width (% of view)"), m_markWidth);
    form->addRow(QStringLiteral("Lamp flicker"), m_flicker);
    form->addRow(QStringLiteral("Mark"), m_mark);
    form->addRow(QStringLiteral("Disc edge from top (% of picture)"), m_bandTop);
    form->addRow(QStringLiteral("Disc edge height (% of picture)"), m_bandHeight);
    form->addRow(QStringLiteral("Reflection of a lamp"), m_hotSpot);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

SimulatedMeterSettings SimulatedMeterDialog::settings() const
{
    SimulatedMeterSettings s = m_settings;
    s.powerWatts = m_power->value();
    s.noise = m_noise->value();
    s.drift = m_drift->value() / 100.0;
    s.markWidth = m_markWidth->value() / 100.0;
    s.flicker = m_flicker->isChecked();
    s.mark = SimulatedMeterSettings::Mark(m_mark->currentIndex());
    s.bandTop = m_bandTop->value() / 100.0;
    s.bandHeight = std::min(m_bandHeight->value() / 100.0, 1.0 - s.bandTop);
    return s;
}
