// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/SimulatedMeterDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

namespace {
// The lamp flicker choices in order: none, the random per-frame change, then lamps on 50 and 60 Hz mains.
constexpr double FlickerHz[] = {0.0, 0.0, 100.0, 120.0};
constexpr int RandomFlicker = 1;
// How much brighter a room lamp makes the picture, or darker when it goes off.
constexpr double LightSwitchFactor = 1.6;

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

SimulatedMeterDialog::SimulatedMeterDialog(const SimulatedMeterSettings& s, std::function<double()> meterSeconds,
                                           QWidget* parent)
    : QDialog(parent), m_settings(s), m_meterSeconds(std::move(meterSeconds))
{
    setWindowTitle(QStringLiteral("Simulated Meter"));
    m_power = spin(this, "edtPower", -100000, 100000, s.powerWatts, 0);
    m_noise = spin(this, "edtNoise", 0, 100, s.noise, 1);
    m_drift = spin(this, "edtDrift", 0, 50, s.drift * 100, 1);
    m_markWidth = spin(this, "edtMarkWidth", 5, 100, s.markWidth * 100, 0);
    m_markContrast = spin(this, "edtMarkContrast", 0, 100, s.markContrast * 100, 0);
    m_flicker = new QComboBox(this);
    m_flicker->setObjectName(QStringLiteral("cboFlicker"));
    m_flicker->addItems({QStringLiteral("None"), QStringLiteral("Random"), QStringLiteral("100 Hz (50 Hz mains)"),
                         QStringLiteral("120 Hz (60 Hz mains)")});
    m_flicker->setCurrentIndex(s.flickerHz > 0.0 ? (s.flickerHz > 110.0 ? 3 : 2) : (s.flicker ? RandomFlicker : 0));
    m_exposure = spin(this, "edtExposure", 0, 1000, s.exposure * 1000, 1);
    m_mark = new QComboBox(this);
    m_mark->setObjectName(QStringLiteral("cboMark"));
    m_mark->addItems({QStringLiteral("Black mark on a silver disc"), QStringLiteral("Red mark on a silver disc"),
                      QStringLiteral("Light mark on a dark disc")});
    m_mark->setCurrentIndex(int(s.mark));
    m_bandTop = spin(this, "edtBandTop", 0, 90, s.bandTop * 100, 0);
    m_bandHeight = spin(this, "edtBandHeight", 10, 100, s.bandHeight * 100, 0);
    m_angle = spin(this, "edtAngle", -180, 180, s.angleDegrees, 0);
    m_hotSpot = new QCheckBox(this);
    m_hotSpot->setObjectName(QStringLiteral("chkHotSpot"));
    m_hotSpot->setChecked(s.hotSpot);
    m_light = new QPushButton(this);
    m_light->setObjectName(QStringLiteral("btnLight"));
    showLightSwitch();
    m_light->setEnabled(bool(m_meterSeconds));
    m_light->setToolTip(QStringLiteral("Steps the light while the simulated meter runs; the camera's exposure then "
                                       "takes most of the change back."));
    connect(m_light, &QPushButton::clicked, this, &SimulatedMeterDialog::switchLight);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Power (W, below 0 exports)"), m_power);
    form->addRow(QStringLiteral("Revolutions per kWh"),
                 new QLabel(QStringLiteral("%1, as set on Meter Setup").arg(s.revsPerKWh), this));
    form->addRow(QStringLiteral("Sensor noise (grey levels)"), m_noise);
    form->addRow(QStringLiteral("Light drift (%)"), m_drift);
    form->addRow(QStringLiteral("Mark width (% of view)"), m_markWidth);
    form->addRow(QStringLiteral("Mark contrast (%, less when worn)"), m_markContrast);
    form->addRow(QStringLiteral("Lamp flicker"), m_flicker);
    form->addRow(QStringLiteral("Exposure (ms)"), m_exposure);
    form->addRow(QStringLiteral("Mark"), m_mark);
    form->addRow(QStringLiteral("Disc edge from top (% of picture)"), m_bandTop);
    form->addRow(QStringLiteral("Disc edge height (% of picture)"), m_bandHeight);
    form->addRow(QStringLiteral("Camera's angle (degrees, 90: the mark moves down)"), m_angle);
    form->addRow(QStringLiteral("Reflection of a lamp"), m_hotSpot);
    form->addRow(QString(), m_light);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

bool SimulatedMeterDialog::lightOn() const
{
    return m_settings.lightStepAt >= 0.0 && m_settings.lightStepFactor > 1.0;
}

void SimulatedMeterDialog::showLightSwitch()
{
    m_light->setText(lightOn() ? QStringLiteral("Switch the light off") : QStringLiteral("Switch the light on"));
}

void SimulatedMeterDialog::switchLight()
{
    if (!m_meterSeconds)
        return;
    m_settings.lightStepFactor = lightOn() ? 1.0 / LightSwitchFactor : LightSwitchFactor;
    m_settings.lightStepAt = m_meterSeconds();
    showLightSwitch();
    emit lightSwitched(m_settings.lightStepAt, m_settings.lightStepFactor);
}

SimulatedMeterSettings SimulatedMeterDialog::settings() const
{
    SimulatedMeterSettings s = m_settings;
    s.powerWatts = m_power->value();
    s.noise = m_noise->value();
    s.drift = m_drift->value() / 100.0;
    s.markWidth = m_markWidth->value() / 100.0;
    s.markContrast = m_markContrast->value() / 100.0;
    s.flicker = m_flicker->currentIndex() == RandomFlicker;
    s.flickerHz = FlickerHz[m_flicker->currentIndex()];
    s.exposure = m_exposure->value() / 1000.0;
    s.mark = SimulatedMeterSettings::Mark(m_mark->currentIndex());
    s.bandTop = m_bandTop->value() / 100.0;
    s.bandHeight = std::min(m_bandHeight->value() / 100.0, 1.0 - s.bandTop);
    s.angleDegrees = m_angle->value();
    s.hotSpot = m_hotSpot->isChecked();
    return s;
}
