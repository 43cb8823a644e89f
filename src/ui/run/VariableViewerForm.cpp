// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/run/VariableViewerForm.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {
constexpr int Rows = 21;
}

VariableViewerForm::VariableViewerForm(const QString& objectName, const QString& caption, Source source,
                                       QWidget* parent)
    : QWidget(parent), m_source(std::move(source))
{
    setObjectName(objectName);
    setWindowTitle(caption);

    // Room for the longest name from the start, so pressing Command1 does not clip the labels.
    int nameWidth = 0;
    for (const ScreenVariable& row : m_source())
        nameWidth = std::max(nameWidth, fontMetrics().horizontalAdvance(row.name));

    auto* form = new QFormLayout;
    form->setVerticalSpacing(2);
    for (int k = 1; k <= Rows; ++k) {
        auto* label = new QLabel(QStringLiteral("Label%1").arg(k), this);
        label->setObjectName(label->text());
        label->setMinimumWidth(nameWidth);
        auto* value = new QLineEdit(this);
        value->setObjectName(QStringLiteral("Text%1").arg(k));
        value->setReadOnly(true);
        value->setMinimumWidth(200);
        label->setBuddy(value);
        form->addRow(label, value);
        m_names.push_back(label);
        m_values.push_back(value);
    }
    auto* button = new QPushButton(QStringLiteral("Command1"), this);
    button->setObjectName(QStringLiteral("Command1"));
    // The caption is the button's internal name; a screen reader says what it does.
    button->setAccessibleName(QStringLiteral("Show the current values"));
    connect(button, &QPushButton::clicked, this, &VariableViewerForm::showVariables);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(button, 0, Qt::AlignLeft);
}

VariableViewerForm* VariableViewerForm::forTrip(const MeteringContext& ctx)
{
    return new VariableViewerForm(QStringLiteral("DebugTripForm"), QStringLiteral("Debug Trip Form"),
                                  [&ctx] { return TripScreenVariables(ctx); });
}

VariableViewerForm* VariableViewerForm::forLogging(const MeteringContext& ctx)
{
    return new VariableViewerForm(QStringLiteral("DebugLoggingForm"), QStringLiteral("Debug Logging Form"),
                                  [&ctx] { return LoggingScreenVariables(ctx); });
}

void VariableViewerForm::showVariables()
{
    const ScreenVariables rows = m_source();
    for (size_t i = 0; i < rows.size() && i < m_values.size(); ++i) {
        m_names[i]->setText(rows[i].name);
        m_values[i]->setText(rows[i].value);
    }
}
