// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/GridEditDialog.h"

#include "ui/capture/CapturePreviewWidget.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

GridEditDialog::GridEditDialog(const DetectionGrid& grid, const QImage& picture, QWidget* parent)
    : QDialog(parent), m_view(new CapturePreviewWidget(this))
{
    setWindowTitle(QStringLiteral("Image Detection Mask"));
    m_view->setGrid(grid);
    m_view->setImage(picture);
    m_view->setMinimumSize(480, 360);
    auto* brush = new QSpinBox(this);
    brush->setObjectName(QStringLiteral("spnSensitivity"));
    brush->setRange(0, 9);
    brush->setValue(9);
    m_view->setEditing(true, 9);
    connect(brush, &QSpinBox::valueChanged, m_view, &CapturePreviewWidget::setBrush);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Sensitivity to paint"), brush);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

const DetectionGrid& GridEditDialog::grid() const
{
    return m_view->grid();
}
