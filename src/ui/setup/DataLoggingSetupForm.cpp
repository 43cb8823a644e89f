// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/DataLoggingSetupForm.h"

#include "app/AppContext.h"
#include "app/ConfigFiles.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

DataLoggingSetupForm::DataLoggingSetupForm(AppContext& ctx, QWidget* parent)
    : SettingsGroupForm(ctx, QStringLiteral("DataLoggingSetupForm"), QStringLiteral("Data logging setup"), parent)
{
    m_interval = numericField(
        QStringLiteral("Text1"),
        QStringLiteral("Enter the number of seconds which will elapse between the data being logged to memory. "
                       "Overall accuracy is not affected by this setting, just the detail level you can view down to."),
        {double(SettingsRanges::LOGGING_INTERVAL_SECONDS.min), double(SettingsRanges::LOGGING_INTERVAL_SECONDS.max),
         0});
    auto* form = new QFormLayout;
    form->addRow(
        captioned(label(QStringLiteral("Label1"), QStringLiteral("Seconds between each logging event")), m_interval),
        m_interval);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    finishLoading(layout, ButtonToolTips::None);
}

void DataLoggingSetupForm::ApplyLoggingFields()
{
    applyWholeNumber(m_interval, m_ctx.settings.LOGGING_INTERVAL_SECONDS);
}

void DataLoggingSetupForm::fillFields()
{
    m_interval->setText(QString::number(m_ctx.settings.LOGGING_INTERVAL_SECONDS));
}

QString DataLoggingSetupForm::saveGroup()
{
    return SaveLoggingSettings(m_ctx);
}

void DataLoggingSetupForm::loadGroupFactoryDefaults()
{
    SettingsDefaults::LoggingFactoryDefaults(m_ctx.settings);
}
