// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/MeterReadingForm.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/FieldValidation.h"
#include "app/TextFormat.h"
#include "metering/MeterReadingStore.h"
#include "metering/Tariffs.h"
#include "ui/setup/CameraReadingBox.h"
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
#include <algorithm>

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

QPushButton* rowButton(QWidget* parent, const QString& name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

// A caption, tied to its field, in a form row with the field and its button.
QLabel* addFieldRow(QFormLayout* form, QLineEdit* field, QPushButton* action)
{
    auto* row = new QHBoxLayout;
    row->addWidget(field);
    row->addWidget(action);
    row->addStretch();
    auto* label = new QLabel(field->parentWidget());
    captionField(label, field);
    form->addRow(label, row);
    return label;
}

// Tariff 1's widgets keep the names they had before there were two; tariff 2's end in "2".
QString nameOf(const char* name, int tariff)
{
    return QLatin1String(name) + (tariff == 1 ? QString() : QString::number(tariff));
}
} // namespace

MeterReadingForm::MeterReadingForm(AppContext& ctx, MeterReadingStore& store, RegisterWatch& watch, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_store(store)
{
    setObjectName(QStringLiteral("MeterReadingForm"));
    setWindowTitle(QStringLiteral("Meter Reading"));
    m_binding = new NumericFieldBinding(ctx.services.dialogs, this);

    auto* now = new QGroupBox(QStringLiteral("Reading now"), this);
    m_nowForm = new QFormLayout(now);
    auto* setting = new QGroupBox(QStringLiteral("Set the reading"), this);
    m_setForm = new QFormLayout(setting);
    auto* checking = new QGroupBox(QStringLiteral("Accuracy check"), this);
    m_checkForm = new QFormLayout(checking);
    for (int tariff = 1; tariff <= int(m_rows.size()); ++tariff)
        addRegisterRows(tariff);

    m_setFor = valueLabel(this, QStringLiteral("lblSetFor"));
    m_setForm->addRow(m_setFor);
    m_checks = new QListWidget(this);
    m_checks->setObjectName(QStringLiteral("lstAccuracyChecks"));
    m_checks->setMinimumHeight(110);
    auto* historyCaption = new QLabel(QStringLiteral("Checks, latest first"), this);
    // A list takes no name from its caption.
    m_checks->setAccessibleName(historyCaption->text());
    m_checkForm->addRow(historyCaption);
    m_checkForm->addRow(m_checks);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(now);
    layout->addWidget(new CameraReadingBox(ctx, store, watch, this));
    layout->addWidget(setting);
    layout->addWidget(checking);
    layout->addStretch();

    connect(&m_store, &MeterReadingStore::changed, this, &MeterReadingForm::showReading);
    showReading();
}

void MeterReadingForm::addRegisterRows(int tariff)
{
    RegisterRows& rows = m_rows[std::size_t(tariff - 1)];
    rows.reading = valueLabel(this, nameOf("lblReading", tariff));
    QFont large = rows.reading->font();
    large.setPointSizeF(large.pointSizeF() * 1.6);
    large.setBold(true);
    rows.reading->setFont(large);
    rows.source = valueLabel(this, nameOf("lblSource", tariff));
    rows.cost = valueLabel(this, nameOf("lblCost", tariff));
    rows.readingCaption = new QLabel(this);
    rows.readingCaption->setBuddy(rows.reading);
    m_nowForm->addRow(rows.readingCaption, rows.reading);
    m_nowForm->addRow(QStringLiteral("Follows"), rows.source);
    m_nowForm->addRow(QStringLiteral("Cost since first set"), rows.cost);

    rows.newReading = kWhField(this, nameOf("edtMeterReading", tariff),
                               QStringLiteral("The number on your meter's register now, in kWh"));
    rows.set = rowButton(this, nameOf("btnSetReading", tariff), QStringLiteral("Set Reading"));
    rows.setCaption = addFieldRow(m_setForm, rows.newReading, rows.set);

    rows.meterNow = kWhField(this, nameOf("edtCheckReading", tariff),
                             QStringLiteral("What the meter shows now, some days after the reading was set"));
    rows.check = rowButton(this, nameOf("btnCheckAccuracy", tariff), QStringLiteral("Check Accuracy"));
    rows.checkCaption = addFieldRow(m_checkForm, rows.meterNow, rows.check);

    m_binding->bind(rows.newReading, ReadingLimits);
    m_binding->bind(rows.meterNow, ReadingLimits);
    connect(rows.set, &QPushButton::clicked, this, [this, tariff] { setReading(tariff); });
    connect(rows.newReading, &QLineEdit::returnPressed, this, [this, tariff, field = rows.newReading] {
        if (m_binding->confirmEnter(field))
            setReading(tariff);
    });
    connect(rows.check, &QPushButton::clicked, this, [this, tariff] { checkAccuracy(tariff); });
    connect(rows.meterNow, &QLineEdit::returnPressed, this, [this, tariff, field = rows.meterNow] {
        if (m_binding->confirmEnter(field))
            checkAccuracy(tariff);
    });
}

void MeterReadingForm::showReading()
{
    for (int tariff = 1; tariff <= int(m_rows.size()); ++tariff)
        showRegister(tariff);
    const MeterSource next = m_store.sourceForNewReading();
    m_setFor->setText(
        next.isNone() ? QStringLiteral("Start the camera that watches your meter first: the reading "
                                       "follows the camera it is set for.")
        : !m_store.cameraSource().isNone()
            ? QStringLiteral("Setting it follows the running camera: %1.").arg(next.description())
            : QStringLiteral("No camera runs: setting it follows the remembered camera, %1.").arg(next.description()));
    showChecks();
}

void MeterReadingForm::showRegister(int tariff)
{
    const RegisterRows& rows = m_rows[std::size_t(tariff - 1)];
    const bool shown = tariff <= m_store.registerCount();
    for (QLabel* label : {rows.readingCaption, rows.source, rows.cost})
        m_nowForm->setRowVisible(label, shown);
    m_setForm->setRowVisible(rows.setCaption, shown);
    m_checkForm->setRowVisible(rows.checkCaption, shown);
    const QString name = m_store.registerCount() > 1 ? TariffName(m_ctx.settings, tariff) : QString();
    rows.readingCaption->setText(name.isEmpty() ? QStringLiteral("Meter reading") : name + QStringLiteral(" reading"));
    rows.setCaption->setText(name.isEmpty() ? QStringLiteral("Meter shows (kWh)")
                                            : name + QStringLiteral(": meter shows (kWh)"));
    rows.checkCaption->setText(name.isEmpty() ? QStringLiteral("Meter shows now (kWh)")
                                              : name + QStringLiteral(": meter shows now (kWh)"));

    const MeterRegister& r = m_store.reading(tariff);
    QLocale plain = m_ctx.locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    rows.reading->setText(r.isSet() ? plain.toString(r.kWh(), 'f', 3) + QStringLiteral(" kWh")
                                    : QStringLiteral("not set"));
    rows.source->setText(r.isSet() ? QStringLiteral("%1, set on %2 to %3 kWh; %4 revolutions counted since")
                                         .arg(r.source.description(),
                                              m_ctx.locale.toString(r.setAt, QStringLiteral("d MMM yyyy HH:mm")),
                                              plain.toString(r.setKWh, 'f', 3))
                                         .arg(r.revolutions)
                                   : QStringLiteral("nothing yet"));
    rows.cost->setText(
        r.isSet() ? QStringLiteral("%1 %2").arg(plain.toString(r.cost(), 'f', m_ctx.settings.COST_ROUNDING_PLACES),
                                                m_ctx.settings.CURRENCY_TITLE)
                  : QString());
    rows.check->setEnabled(r.isSet());
}

void MeterReadingForm::showChecks()
{
    // Both registers' checks in the order they were made, each named by its tariff when there are two.
    std::vector<std::pair<QDateTime, QString>> checks;
    for (int tariff = 1; tariff <= m_store.registerCount(); ++tariff) {
        const QString name =
            m_store.registerCount() > 1 ? TariffName(m_ctx.settings, tariff) + QStringLiteral(": ") : QString();
        for (const AccuracyCheck& check : m_store.reading(tariff).checks)
            checks.emplace_back(check.at, name + check.text(m_ctx.locale));
    }
    std::stable_sort(checks.begin(), checks.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    m_checks->clear();
    for (auto check = checks.rbegin(); check != checks.rend(); ++check)
        m_checks->addItem(check->second);
}

void MeterReadingForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The camera may have started or stopped since: say again what a new reading would follow.
    showReading();
}

void MeterReadingForm::setReading(int tariff)
{
    // Leaving the field for the button has checked its range (Enter checks it first, see the constructor).
    QLineEdit* field = m_rows[std::size_t(tariff - 1)].newReading;
    const std::optional<double> kWh = TextFormat::parseNumber(field->text());
    if (!kWh)
        return;
    const QString refused = m_store.setReading(*kWh, m_store.sourceForNewReading(), tariff);
    if (refused.isEmpty())
        field->clear();
    FieldValidation::ShowValidationMessage(m_ctx.services.dialogs, refused);
}

void MeterReadingForm::checkAccuracy(int tariff)
{
    QLineEdit* field = m_rows[std::size_t(tariff - 1)].meterNow;
    const std::optional<double> kWh = TextFormat::parseNumber(field->text());
    if (!kWh)
        return;
    const QString refused = m_store.checkAccuracy(*kWh, tariff);
    if (refused.isEmpty())
        field->clear();
    FieldValidation::ShowValidationMessage(m_ctx.services.dialogs, refused);
}
