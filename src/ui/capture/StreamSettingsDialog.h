// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;

// Format, size and frame rate of the stream; lists are the component's CR LF texts.
class StreamSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    StreamSettingsDialog(const QString& sizes, int sizeIndex, const QString& subtypes, int subtypeIndex,
                         double frameRate, QWidget* parent = nullptr);
    int sizeIndex() const;
    int subtypeIndex() const;
    double frameRate() const;

private:
    QComboBox* m_size;
    QComboBox* m_subtype;
    QDoubleSpinBox* m_rate;
};
