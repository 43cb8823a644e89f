// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FieldValidation.h"

#include "app/Dialogs.h"
#include "app/TextFormat.h"

namespace FieldValidation {

namespace {

QString maxLine(double max)
{
    return QStringLiteral("Maximum allowed value is ") + TextFormat::formatGeneral(max) + CrLf;
}

// The value a partly typed number stands for: its leading number, 0 when there is none ("", "-", ".").
double leadingValue(const QString& text)
{
    qsizetype end = 0;
    if (end < text.size() && text[end] == QLatin1Char('-'))
        ++end;
    bool point = false;
    while (end < text.size()) {
        const QChar c = text[end];
        if (c.isDigit() && c.unicode() < 128)
            ++end;
        else if (c == QLatin1Char('.') && !point) {
            point = true;
            ++end;
        } else
            break;
    }
    return TextFormat::parseNumber(QStringView(text).left(end)).value_or(0.0);
}

// Digits after the first ".", or -1 without one.
qsizetype decimalsIn(const QString& text)
{
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    return dot < 0 ? -1 : text.size() - dot - 1;
}

// An empty field stands for min - 1 so that it always fails.
QString rangeSubject(const QString& text, double min)
{
    return text.isEmpty() ? TextFormat::formatGeneral(min - 1.0) : text;
}

} // namespace

QString RangeMessage(double min, double max)
{
    return maxLine(max) + QStringLiteral("Minimum allowed value is ") + TextFormat::formatGeneral(min);
}

QString DecimalsMessage(int decimals)
{
    return QStringLiteral("Maximum number of decimal places is ") + QString::number(decimals);
}

QString StripMisplacedMinus(const QString& text)
{
    const qsizetype first = text.indexOf(QLatin1Char('-'));
    if (first <= 0)
        return text;
    QString out = text;
    out.remove(QLatin1Char('-'));
    return out;
}

KeyPressResult ValidateKeyPress(const QString& text, int keyCode, double min, double max, int decimals,
                                bool showMessage)
{
    const auto refuse = [showMessage](QString message = {}) {
        return KeyPressResult{0, showMessage ? std::move(message) : QString()};
    };
    if (keyCode == BackspaceKey)
        return {keyCode, {}};
    if (keyCode <= 0 || keyCode > 0xFFFF || !QStringLiteral("-.1234567890").contains(QChar(keyCode)))
        return refuse();
    if (keyCode == '.' && (text.contains(QLatin1Char('.')) || decimals == 0))
        return refuse();
    if (keyCode == '-' && (min >= 0 || text.contains(QLatin1Char('-'))))
        return refuse();

    const double value = leadingValue(text.isEmpty() ? QStringLiteral("0") : text);
    if (value > max)
        return refuse(min < 0 ? RangeMessage(min, max) : maxLine(max));
    if (min < 0 && value < min)
        return refuse(RangeMessage(min, max));
    if (decimalsIn(text) > decimals)
        return refuse(DecimalsMessage(decimals));
    return {keyCode, {}};
}

RangeResult ValidateRange(const QString& text, double min, double max, const QString& /*oldText*/, bool showMessage)
{
    const auto value = TextFormat::parseNumber(rangeSubject(text, min));
    if (!value)
        return {false, {}};
    if (*value > max || *value < min)
        return {false, showMessage ? RangeMessage(min, max) : QString()};
    return {true, {}};
}

TextResult ValidateRangeAndDecimals(const QString& text, double min, double max, int decimals, const QString& oldText,
                                    bool showMessage)
{
    const auto value = TextFormat::parseNumber(rangeSubject(text, min));
    if (!value)
        return {oldText, {}};
    if (*value >= min && *value <= max) {
        if (decimalsIn(text) > decimals)
            return {oldText, showMessage ? DecimalsMessage(decimals) : QString()};
        return {text, {}};
    }
    return {oldText, showMessage ? RangeMessage(min, max) : QString()};
}

void ShowValidationMessage(Dialogs& dialogs, const QString& message)
{
    if (!message.isEmpty())
        dialogs.message(message, Dialogs::Buttons::Ok);
}

} // namespace FieldValidation
