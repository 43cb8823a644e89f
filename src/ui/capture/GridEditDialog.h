// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/DetectionGrid.h"

#include <QDialog>

class CapturePreviewWidget;

// Click or drag over the picture to give cells the chosen sensitivity (0 = inactive).
class GridEditDialog : public QDialog
{
    Q_OBJECT

public:
    GridEditDialog(const DetectionGrid& grid, const QImage& picture, QWidget* parent = nullptr);
    const DetectionGrid& grid() const;

private:
    CapturePreviewWidget* m_view;
};
