// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/StreamSettingsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>

namespace {
QStringList items(const QString& list)
{
    QStringList out = list.split(QStringLiteral("\r\n"));
    if (!out.isEmpty() && out.back().isEmpty())
        out.removeLast();
    return out;
}
} // namespace

StreamSettingsDialog::StreamSettingsDialog(const QString& sizes, int sizeIndex, const QString& subtypes,
                                           int subtypeIndex, double frameRate, QWidget* parent)
    : QDialog(parent), m_size(new QComboBox(this)), m_subtype(new QComboBox(this)), m_rate(new QDoubleSpinBox(this))
{
    setWindowTitle(QStringLiteral("Stream Settings"));
    m_size->addItems(items(sizes));
    m_size->setCurrentIndex(sizeIndex);
    m_subtype->addItems(items(subtypes));
    m_subtype->setCurrentIndex(subtypeIndex);
    m_rate->setRange(1, 120);
    m_rate->setDecimals(2);
    m_rate->setValue(frameRate);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Size"), m_size);
    form->addRow(QStringLiteral("Format"), m_subtype);
    form->addRow(QStringLiteral("Frames per second"), m_rate);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

int StreamSettingsDialog::sizeIndex() const
{
    return m_size->currentIndex();
}

int StreamSettingsDialog::subtypeIndex() const
{
    return m_subtype->currentIndex();
}

double StreamSettingsDialog::frameRate() const
{
    return m_rate->value();
}
