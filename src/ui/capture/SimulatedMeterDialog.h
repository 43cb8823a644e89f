// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/capture/SimulatedMeter.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;

class SimulatedMeterDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SimulatedMeterDialog(const SimulatedMeterSettings& s, QWidget* parent = nullptr);
    SimulatedMeterSettings settings() const;

private:
    SimulatedMeterSettings m_settings;
    QDoubleSpinBox* m_power;
    QDoubleSpinBox* m_noise;
    QDoubleSpinBox* m_drift;
    QDoubleSpinBox* m_markWidth;
    QCheckBox* m_flicker;
    QComboBox* m_mark;
    QDoubleSpinBox* m_bandTop;
    QDoubleSpinBox* m_bandHeight;
    QCheckBox* m_hotSpot;
};
