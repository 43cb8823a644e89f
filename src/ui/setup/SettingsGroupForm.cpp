// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/SettingsGroupForm.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/TextFormat.h"
#include "ui/setup/FieldCaption.h"
#include "ui/shell/ScreenFrame.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, const QString& toolTip)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setToolTip(toolTip);
    return b;
}

} // namespace

SettingsGroupForm::SettingsGroupForm(AppContext& ctx, const QString& objectName, const QString& caption,
                                     QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_binding(ctx.services.dialogs, this)
{
    setObjectName(objectName);
    setWindowTitle(caption);
}

void SettingsGroupForm::finishLoading(QVBoxLayout* layout, ButtonToolTips toolTips)
{
    const bool tips = toolTips == ButtonToolTips::Shown;
    m_apply =
        button(this, QStringLiteral("Apply"), QStringLiteral("Apply settings"),
               tips ? QStringLiteral("Press this button to apply the changes you've made so that they will be used")
                    : QString());
    m_save = button(this, QStringLiteral("Save"), QStringLiteral("Save settings"),
                    tips ? QStringLiteral("Writes the changes you've made to disk so these values will be used by "
                                          "Wattsight whenever it's run")
                         : QString());
    m_load = button(this, QStringLiteral("Load"), QStringLiteral("Load Factory Defaults"),
                    tips ? QStringLiteral("Loads the original default settings which were used when you first "
                                          "installed Wattsight")
                         : QString());
    QPushButton* close = button(this, QStringLiteral("CloseForm"), QStringLiteral("Close"), QString());

    auto* row = new QHBoxLayout;
    for (QPushButton* b : {m_apply, m_save, m_load, close})
        row->addWidget(b);
    layout->addSpacing(8);
    layout->addLayout(row);
    // Never smaller than its content, so no label or field is clipped whatever size the window gets.
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    connect(m_apply, &QPushButton::clicked, this, &SettingsGroupForm::applyFields);
    connect(m_save, &QPushButton::clicked, this, &SettingsGroupForm::onSave);
    connect(m_load, &QPushButton::clicked, this, &SettingsGroupForm::onLoad);
    connect(close, &QPushButton::clicked, this, [this] { closeScreenFrame(*this); });

    // Decided once: a run started while the screen is open leaves the buttons as they are.
    const bool idle = !m_ctx.blnGlobalLoggingRunning && !m_ctx.blnGlobalTripRunning;
    for (QPushButton* b : {m_apply, m_save, m_load})
        b->setEnabled(idle);
    fillFields();
}

QLineEdit* SettingsGroupForm::numericField(const QString& name, const QString& toolTip,
                                           const NumericFieldLimits& limits)
{
    QLineEdit* field = textField(name, toolTip);
    field->setAlignment(Qt::AlignRight);
    m_binding.bind(field, limits);
    return field;
}

QLineEdit* SettingsGroupForm::textField(const QString& name, const QString& toolTip)
{
    auto* field = new QLineEdit(this);
    field->setObjectName(name);
    // Room for the longest values (100000000, 0.0000000001) without scrolling.
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0.00000000001")) + 16);
    field->setToolTip(toolTip);
    return field;
}

QLabel* SettingsGroupForm::label(const QString& name, const QString& text)
{
    auto* l = new QLabel(text, this);
    l->setObjectName(name);
    return l;
}

QLabel* SettingsGroupForm::captioned(QLabel* caption, QWidget* field)
{
    captionField(caption, field);
    return caption;
}

QCheckBox* SettingsGroupForm::checkBox(const QString& name, const QString& text, const QString& toolTip)
{
    auto* box = new QCheckBox(text, this);
    box->setObjectName(name);
    box->setToolTip(toolTip);
    return box;
}

QString SettingsGroupForm::fieldText(double value)
{
    const QString general = TextFormat::formatGeneral(value);
    if (!general.contains(QLatin1Char('E')))
        return general;
    // Fifteen significant digits, as the general format keeps.
    const int decimals = std::clamp(14 - int(std::floor(std::log10(std::abs(value)))), 0, 30);
    QString fixed = QString::number(value, 'f', decimals);
    while (fixed.endsWith(QLatin1Char('0')))
        fixed.chop(1);
    if (fixed.endsWith(QLatin1Char('.')))
        fixed.chop(1);
    return fixed;
}

std::optional<double> SettingsGroupForm::numberIn(const QLineEdit* field)
{
    return TextFormat::parseNumber(field->text());
}

double SettingsGroupForm::roundedWhole(double value)
{
    return TextFormat::roundHalfEven(value);
}

void SettingsGroupForm::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    // The field being edited is checked as if it were left first; a refused value applies nothing.
    if (m_apply->isEnabled() && m_binding.confirmEnter(focusWidget()))
        applyFields();
}

void SettingsGroupForm::onSave()
{
    // The writer's retries wait with events running: a close meanwhile waits until the save is over.
    const BusyWindow::Work work(m_busy);
    applyFields();
    const QString error = saveGroup();
    if (!error.isEmpty())
        m_ctx.services.dialogs.message(QStringLiteral("Problem saving settings: ") + error, Dialogs::Buttons::Ok);
}

void SettingsGroupForm::onLoad()
{
    loadGroupFactoryDefaults();
    fillFields();
}
