// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/GlobalSettings.h"
#include "ui/setup/SettingsGroupForm.h"

#include <variant>
#include <vector>

class QFormLayout;

// Output codes, data array and backup, file retries, display titles and places, timer intervals.
class AdvancedSettingsSetupForm : public SettingsGroupForm
{
    Q_OBJECT

public:
    explicit AdvancedSettingsSetupForm(AppContext& ctx, QWidget* parent = nullptr);

    void ApplyAdvancedFields();

protected:
    void fillFields() override;
    void applyFields() override { ApplyAdvancedFields(); }
    QString saveGroup() override;
    void loadGroupFactoryDefaults() override;

private:
    using WholeSetting = std::variant<qint32 GlobalSettings::*, qint16 GlobalSettings::*>;
    struct WholeField
    {
        QLineEdit* edit;
        WholeSetting setting;
    };
    struct TextField
    {
        QLineEdit* edit;
        QString GlobalSettings::*setting;
        bool trimmed;
        QString codesCaption; // set for a list of character codes
    };
    struct CheckField
    {
        QCheckBox* box;
        bool GlobalSettings::*setting;
    };

    void addHeading(QFormLayout* column, const QString& headingName, const QString& heading);
    template <typename T>
    void addWhole(QFormLayout* form, const QString& name, const QString& labelName, const QString& caption,
                  const QString& toolTip, const ReadRange<T>& range, T GlobalSettings::*setting);
    void addText(QFormLayout* form, const QString& name, const QString& labelName, const QString& caption,
                 const QString& toolTip, QString GlobalSettings::*setting, bool trimmed);
    // A list of character codes: one the settings file could not read back is refused when it is entered.
    void addCodes(QFormLayout* form, const QString& name, const QString& labelName, const QString& caption,
                  const QString& toolTip, QString GlobalSettings::*setting);
    bool refuseBadCodes(const TextField& field);
    void addCheck(QFormLayout* form, const QString& name, const QString& caption, const QString& toolTip,
                  bool GlobalSettings::*setting);

    std::vector<WholeField> m_wholes;
    std::vector<TextField> m_texts;
    std::vector<CheckField> m_checks;
};
