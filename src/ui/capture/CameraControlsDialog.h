// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCamera;

// The controls Qt offers for a camera that apply to a meter picture: exposure and white balance.
class CameraControlsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CameraControlsDialog(QCamera& camera, QWidget* parent = nullptr);
};
