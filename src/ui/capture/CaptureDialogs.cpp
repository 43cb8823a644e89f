// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/CaptureDialogs.h"

#include "app/Dialogs.h"
#include "capture/CaptureComponent.h"
#include "ui/capture/CameraControlsDialog.h"
#include "ui/capture/GridEditDialog.h"
#include "ui/capture/SimulatedMeterDialog.h"
#include "ui/capture/StreamSettingsDialog.h"

namespace {
void showSimulatedMeter(CaptureComponent& capture, QWidget* parent)
{
    SimulatedMeterSettings shown = capture.simulatedMeterSettings();
    if (capture.meterConstant)
        shown.revsPerKWh = capture.meterConstant();
    std::function<double()> meterSeconds;
    if (is_camera_running(capture))
        meterSeconds = [&capture] { return capture.simulatedSeconds(); };
    SimulatedMeterDialog dlg(shown, meterSeconds, parent);
    // A light switched takes at once, and stays switched whatever the dialog's answer.
    QObject::connect(&dlg, &SimulatedMeterDialog::lightSwitched, &capture,
                     [&capture, revsPerKWh = shown.revsPerKWh](double seconds, double factor) {
                         SimulatedMeterSettings s = capture.simulatedMeterSettings();
                         s.revsPerKWh = revsPerKWh;
                         s.lightStepAt = seconds;
                         s.lightStepFactor = factor;
                         capture.setSimulatedMeterSettings(s);
                     });
    if (dlg.exec() == QDialog::Accepted)
        capture.setSimulatedMeterSettings(dlg.settings());
}
} // namespace

void showDeviceSettings(CaptureComponent& capture, Dialogs& dialogs, QWidget* parent)
{
    switch (capture.kind()) {
    case CaptureComponent::Kind::Simulated:
        showSimulatedMeter(capture, parent);
        break;
    case CaptureComponent::Kind::Camera:
        if (QCamera* camera = capture.camera()) {
            CameraControlsDialog dlg(*camera, parent);
            dlg.exec();
        } else {
            dialogs.message(QStringLiteral("Start the camera to change its settings."));
        }
        break;
    case CaptureComponent::Kind::File:
        // A playing file is never swapped or stopped behind the screen that started it.
        if (is_camera_running(capture))
            dialogs.message(QStringLiteral("Stop the video file before choosing another one."));
        else
            capture.chooseVideoFile();
        break;
    case CaptureComponent::Kind::None:
        break;
    }
}

void showStreamSettings(CaptureComponent& capture, QWidget* parent)
{
    StreamSettingsDialog dlg(capture.sizeList(), capture.sizeIndex(), capture.subtypeList(), capture.subtypeIndex(),
                             capture.requestedFrameRate(), parent);
    if (dlg.exec() == QDialog::Accepted)
        capture.applyStreamSettings(dlg.sizeIndex(), dlg.subtypeIndex(), dlg.frameRate());
}

void showGridEditor(CaptureComponent& capture, QWidget* parent)
{
    GridEditDialog dlg(capture.grid(), capture.previewImage(), parent);
    if (dlg.exec() == QDialog::Accepted)
        capture.setDetectionGrid(dlg.grid().text());
}
