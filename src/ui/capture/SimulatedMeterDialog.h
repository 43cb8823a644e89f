// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/SimulatedMeter.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QPushButton;

class SimulatedMeterDialog : public QDialog
{
    Q_OBJECT

public:
    // meterSeconds: the running meter's present time, which the light switch needs; empty while it is stopped.
    explicit SimulatedMeterDialog(const SimulatedMeterSettings& s, std::function<double()> meterSeconds = {},
                                  QWidget* parent = nullptr);
    SimulatedMeterSettings settings() const;

signals:
    // The light was switched at once, without waiting for OK: the running meter should take the step now.
    void lightSwitched(double seconds, double factor);

private:
    void switchLight();
    void showLightSwitch();
    bool lightOn() const;

    SimulatedMeterSettings m_settings;
    std::function<double()> m_meterSeconds;
    QDoubleSpinBox* m_power;
    QDoubleSpinBox* m_noise;
    QDoubleSpinBox* m_drift;
    QDoubleSpinBox* m_markWidth;
    QDoubleSpinBox* m_markContrast;
    QComboBox* m_flicker;
    QDoubleSpinBox* m_exposure;
    QComboBox* m_mark;
    QDoubleSpinBox* m_bandTop;
    QDoubleSpinBox* m_bandHeight;
    QDoubleSpinBox* m_angle;
    QCheckBox* m_hotSpot;
    QPushButton* m_light;
};
