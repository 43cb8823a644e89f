// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/TariffSetupForm.h"

#include "app/Dialogs.h"
#include "app/SettingsFile.h"
#include "app/TariffSchedule.h"
#include "app/TariffSettings.h"
#include "metering/MeteringContext.h"
#include "metering/Tariffs.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The schedule turns at whole minutes; a look twice a minute keeps "in force now" close enough.
constexpr int InForceRefreshMilliseconds = 30000;

} // namespace

TariffSetupForm::TariffSetupForm(MeteringContext& ctx, QWidget* parent)
    : SettingsGroupForm(ctx, QStringLiteral("TariffSetupForm"), QStringLiteral("Tariffs"), parent), m_metering(ctx)
{
    const GlobalSettings& s = ctx.settings;
    const QString perUnit =
        QStringLiteral("Cost per ") + s.ENERGY_TITLE + QStringLiteral("(unit) in ") + s.CURRENCY_TITLE;
    auto row = [this](QFormLayout* form, const QString& caption, QWidget* field) {
        form->addRow(captioned(label(field->objectName() + QStringLiteral("Label"), caption), field), field);
    };

    m_twoTariffs =
        checkBox(QStringLiteral("chkTwoTariffs"), QStringLiteral("Two tariffs (a two-rate meter)"),
                 QStringLiteral("Each revolution is priced at the tariff in force when it is counted, and records "
                                "carry the tariff's number."));
    connect(m_twoTariffs, &QCheckBox::toggled, this, &TariffSetupForm::enableSecondTariff);

    auto* tariffs = new QGroupBox(QStringLiteral("Tariffs"), this);
    auto* tariffsForm = new QFormLayout(tariffs);
    m_name1 = textField(QStringLiteral("edtTariff1Name"), QStringLiteral("Shown beside the price on the trip and "
                                                                         "logging screens"));
    row(tariffsForm, QStringLiteral("Tariff 1 name"), m_name1);
    m_cost1 = label(QStringLiteral("lblTariff1Cost"), QString());
    m_cost1->setToolTip(QStringLiteral("Tariff 1's price is the one of Energy Meter Setup"));
    tariffsForm->addRow(label(QStringLiteral("lblTariff1CostCaption"), QStringLiteral("Tariff 1 ") + perUnit), m_cost1);
    m_name2 = textField(QStringLiteral("edtTariff2Name"), QStringLiteral("Shown beside the price on the trip and "
                                                                         "logging screens"));
    row(tariffsForm, QStringLiteral("Tariff 2 name"), m_name2);
    m_cost2 = numericField(QStringLiteral("edtTariff2Cost"),
                           QStringLiteral("Cost per unit of electricity used in tariff 2, from your electricity bill."),
                           {SettingsRanges::COST_PER_KWH.min, SettingsRanges::COST_PER_KWH.max, 5});
    row(tariffsForm, QStringLiteral("Tariff 2 ") + perUnit, m_cost2);

    auto* schedule = new QGroupBox(QStringLiteral("When tariff 2 is in force"), this);
    auto* scheduleForm = new QFormLayout(schedule);
    m_hours = textField(QStringLiteral("edtTariff2Hours"),
                        QStringLiteral("Local times, such as 22:00-06:00; several ranges separated by commas, "
                                       "00:00-24:00 for the whole day, empty for none"));
    row(scheduleForm, QStringLiteral("Tariff 2 hours"), m_hours);
    m_allWeekend = checkBox(QStringLiteral("chkTariff2AllWeekend"), QStringLiteral("All of Saturday and Sunday"));
    scheduleForm->addRow(m_allWeekend);
    m_fromMqtt = checkBox(
        QStringLiteral("chkTariffFromMqtt"), QStringLiteral("Follow the utility's switch through MQTT instead"),
        QStringLiteral("The hours are ignored: base topic/tariff/set with 1 or 2 sets the tariff, as a ripple-control "
                       "receiver switches the meter. The tariff last set is kept through a restart."));
    scheduleForm->addRow(m_fromMqtt);

    m_inForce = label(QStringLiteral("lblTariffInForce"), QString());
    auto* now = new QFormLayout;
    now->addRow(label(QStringLiteral("lblTariffInForceCaption"), QStringLiteral("In force now")), m_inForce);
    m_clock = new QTimer(this);
    m_clock->start(InForceRefreshMilliseconds);
    connect(m_clock, &QTimer::timeout, this, &TariffSetupForm::showTariffInForce);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_twoTariffs);
    layout->addWidget(tariffs);
    layout->addWidget(schedule);
    layout->addLayout(now);
    finishLoading(layout, ButtonToolTips::None);
}

void TariffSetupForm::fillFields()
{
    const GlobalSettings& s = m_ctx.settings;
    m_twoTariffs->setChecked(s.TARIFF_COUNT == 2);
    m_name1->setText(s.TARIFF_1_NAME);
    m_cost1->setText(fieldText(s.COST_PER_KWH));
    m_name2->setText(s.TARIFF_2_NAME);
    m_cost2->setText(fieldText(s.TARIFF_2_COST_PER_KWH));
    m_hours->setText(s.TARIFF_2_HOURS);
    m_allWeekend->setChecked(s.TARIFF_2_ALL_WEEKEND);
    m_fromMqtt->setChecked(s.TARIFF_FROM_MQTT);
    enableSecondTariff();
    showTariffInForce();
}

void TariffSetupForm::applyFields()
{
    GlobalSettings& s = m_ctx.settings;
    QStringList problems;
    const struct
    {
        QLineEdit* field;
        QString GlobalSettings::*setting;
        const char* problem;
    } names[] = {{m_name1, &GlobalSettings::TARIFF_1_NAME, "Tariff 1 name"},
                 {m_name2, &GlobalSettings::TARIFF_2_NAME, "Tariff 2 name"}};
    for (const auto& n : names) {
        if (TariffRules::isName(n.field->text()))
            s.*n.setting = n.field->text();
        else
            problems << QStringLiteral("%1: from 1 to %2 characters")
                            .arg(QLatin1String(n.problem))
                            .arg(TariffRules::NAME_MAX_LENGTH);
    }
    const TariffHours hours = TariffHours::parse(m_hours->text());
    if (hours.problem.isEmpty())
        s.TARIFF_2_HOURS = m_hours->text().trimmed();
    else
        problems << hours.problem;
    s.TARIFF_COUNT = m_twoTariffs->isChecked() ? 2 : 1;
    if (const auto cost = numberIn(m_cost2))
        s.TARIFF_2_COST_PER_KWH = *cost;
    s.TARIFF_2_ALL_WEEKEND = m_allWeekend->isChecked();
    s.TARIFF_FROM_MQTT = m_fromMqtt->isChecked();
    // What is acceptable is applied; a value that is not stays as it was in the record, and its field shows it.
    if (!problems.isEmpty())
        m_ctx.services.dialogs.message(problems.join(QStringLiteral("\r\n")), Dialogs::Buttons::Ok);
    showTariffInForce();
}

QString TariffSetupForm::saveGroup()
{
    return SaveSettingsFile(m_ctx, TariffSettingsFile());
}

void TariffSetupForm::loadGroupFactoryDefaults()
{
    ApplyFactoryDefaults(TariffSettingsFile(), m_ctx.settings);
}

void TariffSetupForm::showTariffInForce()
{
    const qint16 tariff = TariffInForce(m_metering);
    m_inForce->setText(QStringLiteral("%1 (tariff %2)").arg(TariffName(m_ctx.settings, tariff)).arg(tariff));
}

void TariffSetupForm::enableSecondTariff()
{
    const bool two = m_twoTariffs->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{m_name2, m_cost2, m_hours, m_allWeekend, m_fromMqtt})
        w->setEnabled(two);
}
