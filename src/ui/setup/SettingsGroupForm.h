// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/setup/NumericFieldBinding.h"
#include "ui/shell/BusyWindow.h"

#include <QWidget>
#include <optional>

struct AppContext;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

// A setup screen that edits one settings group: Apply puts the fields into the record, Save applies and
// writes the group's file, Load Factory Defaults resets the group in memory and shows it, Close drops
// what was not applied. The three changing buttons are usable only when neither logging nor a trip ran
// when the screen opened.
class SettingsGroupForm : public QWidget
{
    Q_OBJECT

public:
    QPushButton* applyButton() const { return m_apply; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* loadButton() const { return m_load; }

protected:
    enum class ButtonToolTips
    {
        Shown,
        None
    };

    SettingsGroupForm(AppContext& ctx, const QString& objectName, const QString& caption, QWidget* parent);

    // Adds the buttons under the content and fills the fields; the subclass calls it last in its constructor.
    void finishLoading(QVBoxLayout* layout, ButtonToolTips toolTips);

    // Enter applies, as the default button of a dialog would.
    void keyPressEvent(QKeyEvent* event) override;

    virtual void fillFields() = 0;
    virtual void applyFields() = 0;
    // The group's writer; "" on success, else its error text.
    virtual QString saveGroup() = 0;
    virtual void loadGroupFactoryDefaults() = 0;

    QLineEdit* numericField(const QString& name, const QString& toolTip, const NumericFieldLimits& limits);
    QLineEdit* textField(const QString& name, const QString& toolTip);
    QLabel* label(const QString& name, const QString& text);
    // The caption, tied to its field (see captionField).
    static QLabel* captioned(QLabel* caption, QWidget* field);
    QCheckBox* checkBox(const QString& name, const QString& text, const QString& toolTip = QString());

    // The number as the field shows it: the general format, but never in exponent form, since the field's
    // own minus handling would turn "1E-07" into "1E07".
    static QString fieldText(double value);
    static std::optional<double> numberIn(const QLineEdit* field);
    // Stores the field's number rounded to a whole number, halves to even; a field without a number
    // leaves the setting as it was.
    template <typename T> static void applyWholeNumber(const QLineEdit* field, T& setting)
    {
        if (const auto value = numberIn(field))
            setting = static_cast<T>(roundedWhole(*value));
    }

    AppContext& m_ctx;

private:
    static double roundedWhole(double value);
    void onSave();
    void onLoad();

    NumericFieldBinding m_binding;
    BusyWindow m_busy{*this};
    QPushButton* m_apply = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_load = nullptr;
};
