// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/ConfirmedNumberField.h"

#include "app/FieldValidation.h"
#include "app/TextFormat.h"
#include "ui/setup/NumericFieldBinding.h"
#include "ui/setup/UpDownControl.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstdlib>

ConfirmedNumberField::ConfirmedNumberField(Dialogs& dialogs, NumericFieldBinding& binding, const Names& names,
                                           Range fieldRange, Range upDownRange, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs), m_binding(binding), m_range(fieldRange), m_field(new QLineEdit(this)),
      m_upDown(new UpDownControl(m_field, upDownRange.minimum, upDownRange.maximum, this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this))
{
    m_field->setObjectName(names.field);
    m_upDown->setObjectName(names.upDown);
    m_ok->setObjectName(names.ok);
    // Wide enough for the largest value the field accepts, however the screen's layout squeezes it.
    const int digits =
        int(QString::number(std::max(std::abs(fieldRange.minimum), std::abs(fieldRange.maximum))).size());
    m_field->setMinimumWidth(m_field->fontMetrics().horizontalAdvance(QString(digits + 1, QLatin1Char('0'))) + 12);
    m_field->setMaximumWidth(std::max(90, m_field->minimumWidth()));
    m_ok->setMaximumWidth(44);
    binding.bind(m_field, {double(fieldRange.minimum), double(fieldRange.maximum), 0});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_field);
    layout->addWidget(m_upDown);
    layout->addSpacing(4);
    layout->addWidget(m_ok);
    layout->addStretch();
    setFocusProxy(m_field);
    connect(m_ok, &QPushButton::clicked, this, &ConfirmedNumberField::confirm);
    connect(m_field, &QLineEdit::returnPressed, this, &ConfirmedNumberField::confirm);
}

void ConfirmedNumberField::setValue(qint64 value)
{
    m_field->setText(QString::number(value));
}

void ConfirmedNumberField::confirm()
{
    // Leaving the field has already put back a refused text; this also covers a text that never lost focus.
    const FieldValidation::TextResult checked = FieldValidation::ValidateRangeAndDecimals(
        m_field->text(), m_range.minimum, m_range.maximum, 0, m_binding.oldText(), true);
    FieldValidation::ShowValidationMessage(m_dialogs, checked.message);
    if (checked.text != m_field->text())
        m_field->setText(checked.text);
    const std::optional<double> value = TextFormat::parseNumber(checked.text);
    if (value && *value >= m_range.minimum && *value <= m_range.maximum && applied)
        applied(qint32(TextFormat::roundHalfEven(*value)));
}
