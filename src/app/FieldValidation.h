// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class Dialogs;

// Checks shared by every numeric edit field of the setup screens. The functions only decide; the message
// they would show comes back in the result (empty when there is none or showMessage is false), so the
// caller shows it through its Dialogs and tests read it without a widget.
namespace FieldValidation {

struct KeyPressResult
{
    int keyCode = 0; // the key as typed to accept it, 0 to swallow it
    QString message;
};

struct RangeResult
{
    bool ok = false;
    QString message;
};

struct TextResult
{
    QString text;
    QString message;
};

inline constexpr int BackspaceKey = 8;

// "Maximum allowed value is <max>\r\nMinimum allowed value is <min>".
QString RangeMessage(double min, double max);
// "Maximum number of decimal places is <decimals>".
QString DecimalsMessage(int decimals);

// Removes every "-" when the first one is not the first character.
QString StripMisplacedMinus(const QString& text);
// Decides one keystroke typed into a field that holds text (the text before the key).
KeyPressResult ValidateKeyPress(const QString& text, int keyCode, double min, double max, int decimals,
                                bool showMessage);
// True when text is a number within [min, max]; an empty text always fails.
RangeResult ValidateRange(const QString& text, double min, double max, const QString& oldText, bool showMessage);
// text when it is a number within [min, max] with at most decimals digits after the point, else oldText.
TextResult ValidateRangeAndDecimals(const QString& text, double min, double max, int decimals, const QString& oldText,
                                    bool showMessage);

// Shows a result's message, OK only, when it has one.
void ShowValidationMessage(Dialogs& dialogs, const QString& message);

} // namespace FieldValidation
