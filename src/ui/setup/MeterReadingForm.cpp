// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/MeterReadingForm.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/FieldValidation.h"
#include "app/TextFormat.h"
#include "metering/MeterReadingStore.h"
#include "ui/setup/FieldCaption.h"
#include "ui/setup/NumericFieldBinding.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
const NumericFieldLimits ReadingLimits{0, MeterReadingStore::MaxKWh, 3};

QLabel* valueLabel(QWidget* parent, const QString& name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QLineEdit* kWhField(QWidget* parent, const QString& name, const QString& toolTip)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setFixedWidth(120);
    field->setAlignment(Qt::AlignRight);
    field->setToolTip(toolTip);
    return field;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

// A caption, tied to its field, in a form row with the field and its button.
void addFieldRow(QFormLayout* form, const QString& caption, QLineEdit* field, QPushButton* action)
{
    auto* row = new QHBoxLayout;
    row->addWidget(field);
    row->addWidget(action);
    row->addStretch();
    auto* label = new QLabel(caption, field->parentWidget());
    captionField(label, field);
    form->addRow(label, row);
}
} // namespace

MeterReadingForm::MeterReadingForm(AppContext& ctx, MeterReadingStore& store, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_store(store)
{
    setObjectName(QStringLiteral("MeterReadingForm"));
    setWindowTitle(QStringLiteral("Meter Reading"));
    m_binding = new NumericFieldBinding(ctx.services.dialogs, this);

    m_reading = valueLabel(this, QStringLiteral("lblReading"));
    QFont large = m_reading->font();
    large.setPointSizeF(large.pointSizeF() * 1.6);
    large.setBold(true);
    m_reading->setFont(large);
    m_source = valueLabel(this, QStringLiteral("lblSource"));
    m_cost = valueLabel(this, QStringLiteral("lblCost"));
    auto* now = new QGroupBox(QStringLiteral("Reading now"), this);
    auto* nowForm = new QFormLayout(now);
    nowForm->addRow(QStringLiteral("Meter reading"), m_reading);
    nowForm->addRow(QStringLiteral("Follows"), m_source);
    nowForm->addRow(QStringLiteral("Cost since set"), m_cost);

    m_newReading = kWhField(this, QStringLiteral("edtMeterReading"),
                            QStringLiteral("The number on your meter's register now, in kWh"));
    m_set = button(this, QStringLiteral("btnSetReading"), QStringLiteral("Set Reading"));
    m_setFor = valueLabel(this, QStringLiteral("lblSetFor"));
    auto* setting = new QGroupBox(QStringLiteral("Set the reading"), this);
    auto* setForm = new QFormLayout(setting);
    addFieldRow(setForm, QStringLiteral("Meter shows (kWh)"), m_newReading, m_set);
    setForm->addRow(m_setFor);

    m_meterNow = kWhField(this, QStringLiteral("edtCheckReading"),
                          QStringLiteral("What the meter shows now, some days after the reading was set"));
    m_check = button(this, QStringLiteral("btnCheckAccuracy"), QStringLiteral("Check Accuracy"));
    m_checks = new QListWidget(this);
    m_checks->setObjectName(QStringLiteral("lstAccuracyChecks"));
    m_checks->setMinimumHeight(110);
    auto* checking = new QGroupBox(QStringLiteral("Accuracy check"), this);
    auto* checkForm = new QFormLayout(checking);
    addFieldRow(checkForm, QStringLiteral("Meter shows now (kWh)"), m_meterNow, m_check);
    auto* historyCaption = new QLabel(QStringLiteral("Checks, latest first"), this);
    // A list takes no name from its caption.
    m_checks->setAccessibleName(historyCaption->text());
    checkForm->addRow(historyCaption);
    checkForm->addRow(m_checks);

    m_binding->bind(m_newReading, ReadingLimits);
    m_binding->bind(m_meterNow, ReadingLimits);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(now);
    layout->addWidget(setting);
    layout->addWidget(checking);
    layout->addStretch();

    connect(m_set, &QPushButton::clicked, this, &MeterReadingForm::setReading);
    connect(m_newReading, &QLineEdit::returnPressed, this, [this] {
        if (m_binding->confirmEnter(m_newReading))
            setReading();
    });
    connect(m_check, &QPushButton::clicked, this, &MeterReadingForm::checkAccuracy);
    connect(m_meterNow, &QLineEdit::returnPressed, this, [this] {
        if (m_binding->confirmEnter(m_meterNow))
            checkAccuracy();
    });
    connect(&m_store, &MeterReadingStore::changed, this, &MeterReadingForm::showReading);
    showReading();
}

void MeterReadingForm::showReading()
{
    const MeterRegister& r = m_store.reading();
    QLocale plain = m_ctx.locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    m_reading->setText(r.isSet() ? plain.toString(r.kWh(), 'f', 3) + QStringLiteral(" kWh")
                                 : QStringLiteral("not set"));
    m_source->setText(r.isSet() ? QStringLiteral("%1, set on %2 to %3 kWh; %4 revolutions counted since")
                                      .arg(r.source.description(),
                                           m_ctx.locale.toString(r.setAt, QStringLiteral("d MMM yyyy HH:mm")),
                                           plain.toString(r.setKWh, 'f', 3))
                                      .arg(r.revolutions)
                                : QStringLiteral("nothing yet"));
    m_cost->setText(
        r.isSet() ? QStringLiteral("%1 %2").arg(plain.toString(r.cost(), 'f', m_ctx.settings.COST_ROUNDING_PLACES),
                                                m_ctx.settings.CURRENCY_TITLE)
                  : QString());
    const MeterSource next = m_store.sourceForNewReading();
    m_setFor->setText(
        next.isNone() ? QStringLiteral("Start the camera that watches your meter first: the reading "
                                       "follows the camera it is set for.")
        : !m_store.cameraSource().isNone()
            ? QStringLiteral("Setting it follows the running camera: %1.").arg(next.description())
            : QStringLiteral("No camera runs: setting it follows the remembered camera, %1.").arg(next.description()));
    m_check->setEnabled(r.isSet());
    m_checks->clear();
    for (auto check = r.checks.rbegin(); check != r.checks.rend(); ++check)
        m_checks->addItem(check->text(m_ctx.locale));
}

void MeterReadingForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The camera may have started or stopped since: say again what a new reading would follow.
    showReading();
}

void MeterReadingForm::setReading()
{
    // Leaving the field for the button has checked its range (Enter checks it first, see the constructor).
    const std::optional<double> kWh = TextFormat::parseNumber(m_newReading->text());
    if (!kWh)
        return;
    const QString refused = m_store.setReading(*kWh, m_store.sourceForNewReading());
    if (refused.isEmpty())
        m_newReading->clear();
    FieldValidation::ShowValidationMessage(m_ctx.services.dialogs, refused);
}

void MeterReadingForm::checkAccuracy()
{
    const std::optional<double> kWh = TextFormat::parseNumber(m_meterNow->text());
    if (!kWh)
        return;
    const QString refused = m_store.checkAccuracy(*kWh);
    if (refused.isEmpty())
        m_meterNow->clear();
    FieldValidation::ShowValidationMessage(m_ctx.services.dialogs, refused);
}
