// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/AdvancedSettingsSetupForm.h"

#include "app/AppContext.h"
#include "app/ConfigFiles.h"
#include "app/Dialogs.h"
#include "app/TextFormat.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

QFrame* line(QWidget* parent, QFrame::Shape shape)
{
    auto* l = new QFrame(parent);
    l->setFrameShape(shape);
    l->setFrameShadow(QFrame::Sunken);
    return l;
}

} // namespace

AdvancedSettingsSetupForm::AdvancedSettingsSetupForm(AppContext& ctx, QWidget* parent)
    : SettingsGroupForm(ctx, QStringLiteral("AdvancedSettingsSetupForm"), QStringLiteral("Advanced Settings"), parent)
{
    using namespace SettingsRanges;
    using S = GlobalSettings;
    // One form per column, so every field of a column lines up under the others.
    auto* left = new QFormLayout;
    auto* right = new QFormLayout;

    addHeading(left, QStringLiteral("Label1"), QStringLiteral("Output File Settings"));
    addCodes(left, QStringLiteral("Text1"), QStringLiteral("Label2"), QStringLiteral("End of Line Characters"),
             QStringLiteral("Used by the exported data file. Defines the characters that mark each end of line in the "
                            "file. Enter as ascii code(s) separated by ,."),
             &S::END_OF_LINE_CHARACTERS);
    addCodes(left, QStringLiteral("Text2"), QStringLiteral("Label3"), QStringLiteral("Field Delimiter"),
             QStringLiteral("Used by the exported data file. Defines the separaters between fields of data in each "
                            "line (each line is a logged data event). Enter as ascii code(s) separated by ,"),
             &S::FIELD_DELIMITER);
    left->addRow(line(this, QFrame::HLine));

    addHeading(left, QStringLiteral("Label4"), QStringLiteral("Data Array Settings"));
    addWhole(left, QStringLiteral("Text3"), QStringLiteral("Label5"), QStringLiteral("Data Array Length"),
             QStringLiteral("The number of log events that can be recorded. Can be set large depending on PC's RAM. "
                            "Typically an event is logged each 5 mins, so the default value is more than enough."),
             DATA_ARRAY_LENGTH, &S::DATA_ARRAY_LENGTH);
    addWhole(left, QStringLiteral("Text4"), QStringLiteral("Label6"),
             QStringLiteral("Array Writing Interval (seconds)"),
             QStringLiteral("The interval in seconds that the memory of the PC is backed up to a data file on disk (in "
                            "case of unplanned shutdown of the PC). Interval is in seconds (if box below is ticked)."),
             ARRAY_WRITE_INTERVAL_SECONDS, &S::ARRAY_WRITE_INTERVAL_SECONDS);
    addCheck(left, QStringLiteral("Check1"), QStringLiteral("Write array to disk"),
             QStringLiteral("Default is to write data to disk (at interval above). If unchecked you have no backup of "
                            "a data logging session should the PC crash."),
             &S::WRITE_ARRAY_TO_DISK);
    addCheck(left, QStringLiteral("Check2"), QStringLiteral("Write live interface file"), QString(),
             &S::WRITE_LIVE_DATA_FILE);
    addCheck(left, QStringLiteral("Check3"), QStringLiteral("Write log interface file"), QString(),
             &S::WRITE_DIFF_LOG_FILE);
    left->addRow(line(this, QFrame::HLine));

    addHeading(left, QStringLiteral("Label8"), QStringLiteral("Basic File Handling"));
    addWhole(left, QStringLiteral("Text6"), QStringLiteral("Label9"), QStringLiteral("File Write Attempts"),
             QStringLiteral("Number of times that Wattsight tries to write a file to disk before giving up."),
             FILE_WRITE_TRIES, &S::FILE_WRITE_TRIES);
    addWhole(left, QStringLiteral("Text7"), QStringLiteral("Label10"),
             QStringLiteral("Delay between Write attempts (tenths second)"),
             QStringLiteral("Delay in tenths of a second between attempts to write a file to disk."),
             FILE_WRITE_DELAY_TENTHS, &S::FILE_WRITE_DELAY_TENTHS);
    addWhole(left, QStringLiteral("Text8"), QStringLiteral("Label11"), QStringLiteral("File Read Attempts"),
             QStringLiteral("Number of times that Wattsight tries to read a file from disk before giving up."),
             FILE_READ_TRIES, &S::FILE_READ_TRIES);
    addWhole(left, QStringLiteral("Text9"), QStringLiteral("Label12"),
             QStringLiteral("Delay between Read attempts (tenths second)"),
             QStringLiteral("Delay in tenths of a second between attempts to read a file from disk."),
             FILE_READ_DELAY_TENTHS, &S::FILE_READ_DELAY_TENTHS);

    addHeading(right, QStringLiteral("Label13"), QStringLiteral("Display Settings"));
    addText(right, QStringLiteral("Text10"), QStringLiteral("Label14"), QStringLiteral("Currency Title"),
            QStringLiteral("The title you want to display for the currency your electricity is priced in. Default "
                           "for UK is Pence."),
            &S::CURRENCY_TITLE, true);
    addText(right, QStringLiteral("Text11"), QStringLiteral("Label15"), QStringLiteral("Energy Title"),
            QStringLiteral("The title you want to display for the unit your energy is measured in. Default is KWH "
                           "for the UK."),
            &S::ENERGY_TITLE, true);
    addText(right, QStringLiteral("Text12"), QStringLiteral("Label16"), QStringLiteral("Power Title"),
            QStringLiteral("The title you want to display for the unit of power (energy per second). Default is KW "
                           "for the UK."),
            &S::POWER_TITLE, true);
    addWhole(right, QStringLiteral("Text13"), QStringLiteral("Label17"), QStringLiteral("Cost Decimal Places"),
             QStringLiteral("Number of decimal places to display the energy cost in."), COST_ROUNDING_PLACES,
             &S::COST_ROUNDING_PLACES);
    addWhole(right, QStringLiteral("Text14"), QStringLiteral("Label18"), QStringLiteral("Energy Decimal Places"),
             QStringLiteral("Number of decimal places to display the energy units used."), ENERGY_ROUNDING_PLACES,
             &S::ENERGY_ROUNDING_PLACES);
    addWhole(right, QStringLiteral("Text15"), QStringLiteral("Label19"), QStringLiteral("Power Decimal Places"),
             QStringLiteral("Number of decimal places to display power in."), POWER_ROUNDING_PLACES,
             &S::POWER_ROUNDING_PLACES);
    right->addRow(line(this, QFrame::HLine));

    addHeading(right, QStringLiteral("Label20"), QStringLiteral("System Timers"));
    addWhole(right, QStringLiteral("Text16"), QStringLiteral("Label21"),
             QStringLiteral("Timer Tick Interval (milliseconds)"),
             QStringLiteral("Interval in milliseconds of the main system timer. Only change this if your PC is "
                            "struggling with performance issues (in which case, increase the interval)."),
             TIMER_TICK_MILLISECONDS, &S::TIMER_TICK_MILLISECONDS);
    addWhole(right, QStringLiteral("Text17"), QStringLiteral("Label22"),
             QStringLiteral("Log Screen Refresh Interval (milliseconds)"),
             QStringLiteral("Interval in milliseconds between updates of the data logging screen. Reduce for more "
                            "frequent updates (not recommended) or increase if your PC has performance issues"),
             LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS, &S::LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS);
    addWhole(right, QStringLiteral("Text18"), QStringLiteral("Label23"),
             QStringLiteral("Trip Screen Refresh Interval (milliseconds)"),
             QStringLiteral("Interval in milliseconds between updates of the trip screen. Reduce for more frequent "
                            "updates (not recommended) or increase if your PC has performance issues"),
             TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS, &S::TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addWidget(line(this, QFrame::VLine));
    columns->addLayout(right);
    columns->setAlignment(left, Qt::AlignTop);
    columns->setAlignment(right, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    finishLoading(layout, ButtonToolTips::None);
}

void AdvancedSettingsSetupForm::addHeading(QFormLayout* column, const QString& headingName, const QString& heading)
{
    QLabel* title = label(headingName, heading);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    column->addRow(title);
}

template <typename T>
void AdvancedSettingsSetupForm::addWhole(QFormLayout* form, const QString& name, const QString& labelName,
                                         const QString& caption, const QString& toolTip, const ReadRange<T>& range,
                                         T GlobalSettings::*setting)
{
    QLineEdit* edit = numericField(name, toolTip, {double(range.min), double(range.max), 0});
    form->addRow(captioned(label(labelName, caption), edit), edit);
    m_wholes.push_back({edit, setting});
}

void AdvancedSettingsSetupForm::addText(QFormLayout* form, const QString& name, const QString& labelName,
                                        const QString& caption, const QString& toolTip,
                                        QString GlobalSettings::*setting, bool trimmed)
{
    QLineEdit* edit = textField(name, toolTip);
    form->addRow(captioned(label(labelName, caption), edit), edit);
    m_texts.push_back({edit, setting, trimmed, QString()});
}

void AdvancedSettingsSetupForm::addCodes(QFormLayout* form, const QString& name, const QString& labelName,
                                         const QString& caption, const QString& toolTip,
                                         QString GlobalSettings::*setting)
{
    addText(form, name, labelName, caption, toolTip, setting, false);
    m_texts.back().codesCaption = caption;
    const size_t index = m_texts.size() - 1;
    connect(m_texts.back().edit, &QLineEdit::editingFinished, this, [this, index] { refuseBadCodes(m_texts[index]); });
}

bool AdvancedSettingsSetupForm::refuseBadCodes(const TextField& field)
{
    if (field.codesCaption.isEmpty() || IsValidCodeList(field.edit->text()))
        return false;
    // Back to the value in use first: the message takes the focus, which ends the editing once more.
    field.edit->setText(m_ctx.settings.*field.setting);
    m_ctx.services.dialogs.message(field.codesCaption +
                                       QStringLiteral(" must be character codes from 0 to 255 separated by commas, "
                                                      "for example 13,10. The value in use is kept."),
                                   Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
    return true;
}

void AdvancedSettingsSetupForm::addCheck(QFormLayout* form, const QString& name, const QString& caption,
                                         const QString& toolTip, bool GlobalSettings::*setting)
{
    QCheckBox* box = checkBox(name, caption, toolTip);
    form->addRow(box);
    m_checks.push_back({box, setting});
}

void AdvancedSettingsSetupForm::ApplyAdvancedFields()
{
    GlobalSettings& s = m_ctx.settings;
    for (const TextField& f : m_texts)
        if (!refuseBadCodes(f))
            s.*f.setting = f.trimmed ? TextFormat::trimSpaces(f.edit->text()) : f.edit->text();
    for (const WholeField& f : m_wholes)
        std::visit([&](auto member) { applyWholeNumber(f.edit, s.*member); }, f.setting);
    for (const CheckField& f : m_checks)
        s.*f.setting = f.box->isChecked();
}

void AdvancedSettingsSetupForm::fillFields()
{
    const GlobalSettings& s = m_ctx.settings;
    for (const TextField& f : m_texts)
        f.edit->setText(s.*f.setting);
    for (const WholeField& f : m_wholes)
        std::visit([&](auto member) { f.edit->setText(QString::number(s.*member)); }, f.setting);
    for (const CheckField& f : m_checks)
        f.box->setChecked(s.*f.setting);
}

QString AdvancedSettingsSetupForm::saveGroup()
{
    return SaveAdvancedSettings(m_ctx);
}

void AdvancedSettingsSetupForm::loadGroupFactoryDefaults()
{
    SettingsDefaults::AdvancedFactoryDefaults(m_ctx.settings);
}
