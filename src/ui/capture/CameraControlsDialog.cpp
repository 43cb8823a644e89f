// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/CameraControlsDialog.h"

#include <QCamera>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>

CameraControlsDialog::CameraControlsDialog(QCamera& camera, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Camera Settings"));
    auto* form = new QFormLayout(this);
    auto* exposure = new QDoubleSpinBox(this);
    exposure->setRange(-4, 4);
    exposure->setSingleStep(0.5);
    exposure->setValue(camera.exposureCompensation());
    connect(exposure, &QDoubleSpinBox::valueChanged, &camera,
            [&camera](double v) { camera.setExposureCompensation(float(v)); });
    form->addRow(QStringLiteral("Exposure compensation"), exposure);
    auto* autoWb = new QCheckBox(this);
    autoWb->setChecked(camera.whiteBalanceMode() == QCamera::WhiteBalanceAuto);
    autoWb->setEnabled(camera.isWhiteBalanceModeSupported(QCamera::WhiteBalanceAuto));
    connect(autoWb, &QCheckBox::toggled, &camera, [&camera](bool on) {
        camera.setWhiteBalanceMode(on ? QCamera::WhiteBalanceAuto : QCamera::WhiteBalanceManual);
    });
    form->addRow(QStringLiteral("Automatic white balance"), autoWb);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    form->addRow(buttons);
}
