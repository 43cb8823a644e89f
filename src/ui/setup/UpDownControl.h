// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// Two arrow buttons beside a numeric edit field that step its whole-number value by one within a range.
// The field stays the place where the value lives: a step only rewrites its text, so whatever applies the
// field's value (an OK button) still decides when the value takes effect.
class UpDownControl : public QWidget
{
    Q_OBJECT

public:
    UpDownControl(QLineEdit* buddy, int minimum, int maximum, QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    // A text that is not a number steps from the minimum.
    void stepUp() { step(1); }
    void stepDown() { step(-1); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void step(int delta);

    QLineEdit* m_buddy;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_minimum;
    int m_maximum;
};
