// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLineEdit;
struct MeteringContext;

// The debugging window that fills the data array with made-up records.
class DebugFillArray : public QWidget
{
    Q_OBJECT
public:
    explicit DebugFillArray(MeteringContext& ctx, QWidget* parent = nullptr);

    // "Fill the Logging Array".
    void fill();

private:
    MeteringContext& m_ctx;
    QLineEdit* m_interval = nullptr;
    QLineEdit* m_count = nullptr;
    QLineEdit* m_pulses = nullptr;
    QLineEdit* m_pointer = nullptr;
    bool m_filling = false;
};
