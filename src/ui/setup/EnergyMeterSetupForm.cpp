// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/EnergyMeterSetupForm.h"

#include "app/AppContext.h"
#include "app/ConfigFiles.h"
#include "app/DetectorSettings.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

EnergyMeterSetupForm::EnergyMeterSetupForm(AppContext& ctx, QWidget* parent)
    : SettingsGroupForm(ctx, QStringLiteral("EnergyMeterSetupForm"), QStringLiteral("Energy Meter Setup"), parent)
{
    const GlobalSettings& s = ctx.settings;
    m_revsPerUnit =
        numericField(QStringLiteral("Text1"),
                     QStringLiteral("Number of revolutions the disk on your electricity meter makes for each unit "
                                    "(usually KWH) of electricity used (written on the meter)"),
                     {SettingsRanges::REVS_PER_KWH.min, SettingsRanges::REVS_PER_KWH.max, 5});
    m_costPerUnit =
        numericField(QStringLiteral("Text2"),
                     QStringLiteral("Cost per unit of electricity used. You can find this on your electricity bill."),
                     {SettingsRanges::COST_PER_KWH.min, SettingsRanges::COST_PER_KWH.max, 5});

    // "Disk Revolutions per" and the energy title read as one caption.
    auto* revsCaption = new QWidget(this);
    auto* revsCaptionRow = new QHBoxLayout(revsCaption);
    revsCaptionRow->setContentsMargins(0, 0, 0, 0);
    QLabel* revsLabel = label(QStringLiteral("Label1"), QStringLiteral("Disk Revolutions per"));
    revsCaptionRow->setSpacing(revsLabel->fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    revsCaptionRow->addWidget(revsLabel);
    revsCaptionRow->addWidget(label(QStringLiteral("Label4"), s.ENERGY_TITLE));
    revsCaptionRow->addStretch();
    revsLabel->setBuddy(m_revsPerUnit);
    m_revsPerUnit->setAccessibleName(revsLabel->text() + QLatin1Char(' ') + s.ENERGY_TITLE);

    auto* form = new QFormLayout;
    form->addRow(revsCaption, m_revsPerUnit);
    form->addRow(captioned(label(QStringLiteral("Label2"), QStringLiteral("Cost per ") + s.ENERGY_TITLE +
                                                               QStringLiteral("(unit) in ") + s.CURRENCY_TITLE),
                           m_costPerUnit),
                 m_costPerUnit);

    m_countDirection =
        checkBox(QStringLiteral("chkCountDirection"), QStringLiteral("The disc may turn backwards (solar)"),
                 QStringLiteral("A meter without a backstop turns backwards while the home exports: each backward "
                                "revolution then counts as energy exported and takes its share off the reading. Find "
                                "Mark learns which way is forward; run it with a large load switched on."));
    form->addRow(QString(), m_countDirection);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    finishLoading(layout, ButtonToolTips::Shown);
}

void EnergyMeterSetupForm::ApplyMeterFields()
{
    if (const auto revs = numberIn(m_revsPerUnit))
        m_ctx.settings.REVS_PER_KWH = *revs;
    if (const auto cost = numberIn(m_costPerUnit))
        m_ctx.settings.COST_PER_KWH = *cost;
    m_ctx.settings.COUNT_DIRECTION = m_countDirection->isChecked();
}

void EnergyMeterSetupForm::fillFields()
{
    m_revsPerUnit->setText(fieldText(m_ctx.settings.REVS_PER_KWH));
    m_costPerUnit->setText(fieldText(m_ctx.settings.COST_PER_KWH));
    m_countDirection->setChecked(m_ctx.settings.COUNT_DIRECTION);
}

QString EnergyMeterSetupForm::saveGroup()
{
    const QString meter = SaveMeterSettings(m_ctx);
    return meter.isEmpty() ? SaveCountDirection(m_ctx) : meter;
}

void EnergyMeterSetupForm::loadGroupFactoryDefaults()
{
    SettingsDefaults::MeterFactoryDefaults(m_ctx.settings);
    m_ctx.settings.COUNT_DIRECTION = false;
}
