// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class Dialogs;
class QLineEdit;

struct NumericFieldLimits
{
    double min = 0;
    double max = 0;
    int decimals = 0;
};

// Gives the numeric edit fields of one screen their shared behaviour: characters that cannot belong to a
// number are refused as typed (pasted and dropped text goes through the same per-character check), a
// misplaced minus is removed at once, and leaving a field with a value out of range brings back the text
// it had when it was entered and keeps the focus there. One binding per screen, since the screen's
// fields share the one remembered text.
class NumericFieldBinding : public QObject
{
    Q_OBJECT

public:
    NumericFieldBinding(Dialogs& dialogs, QObject* parent);

    void bind(QLineEdit* field, const NumericFieldLimits& limits);
    // The text of the field that last gained focus.
    const QString& oldText() const { return m_oldText; }
    // A value that changed under the field: shown, and for the field being edited also the text a
    // refused entry falls back to.
    void rewrite(QLineEdit* field, const QString& text);
    // Enter pressed in `focus` counts as leaving it: false when it is a field of this binding whose value
    // was refused (the text it had on entry is back, with the message).
    bool confirmEnter(QWidget* focus);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onChange(QLineEdit* field);
    void onGotFocus(QLineEdit* field);
    void onLostFocus(QLineEdit* field);
    bool acceptOrRestore(QLineEdit* field);
    // Inserts text at the cursor as if it were typed one character at a time.
    void typeIn(QLineEdit* field, const QString& text);
    void showContextMenu(QLineEdit* field, const QPoint& globalPos);

    Dialogs& m_dialogs;
    QHash<QLineEdit*, NumericFieldLimits> m_limits;
    QString m_oldText;
    QPointer<QLineEdit> m_focused;
};
