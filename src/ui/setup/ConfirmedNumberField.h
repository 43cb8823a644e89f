// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <functional>

class Dialogs;
class NumericFieldBinding;
class QLineEdit;
class QPushButton;
class UpDownControl;

// A whole-number edit field with its up-down and an OK button: what is typed or stepped takes effect only
// when OK is pressed, so a half-typed value never reaches a running detector.
class ConfirmedNumberField : public QWidget
{
    Q_OBJECT

public:
    struct Names
    {
        QString field;
        QString upDown;
        QString ok;
    };
    struct Range
    {
        int minimum = 0;
        int maximum = 0;
    };

    // fieldRange is what the field accepts; upDownRange where the arrows step (it may be narrower).
    ConfirmedNumberField(Dialogs& dialogs, NumericFieldBinding& binding, const Names& names, Range fieldRange,
                         Range upDownRange, QWidget* parent = nullptr);

    void setValue(qint64 value);
    QLineEdit* field() const { return m_field; }
    UpDownControl* upDown() const { return m_upDown; }
    QPushButton* okButton() const { return m_ok; }

    // Receives the field's value when OK is pressed and the text is a whole number within the field's range;
    // otherwise the range message is shown and the field gets back the text it had when it was entered.
    std::function<void(qint32)> applied;

private:
    void confirm();

    Dialogs& m_dialogs;
    NumericFieldBinding& m_binding;
    Range m_range;
    QLineEdit* m_field;
    UpDownControl* m_upDown;
    QPushButton* m_ok;
};
