// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/data/DebugFillArray.h"

#include "app/Dialogs.h"
#include "data/TestDataGenerator.h"
#include "metering/MeteringContext.h"
#include "ui/shell/ScreenFrame.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

DebugFillArray::DebugFillArray(MeteringContext& ctx, QWidget* parent) : QWidget(parent, Qt::Window), m_ctx(ctx)
{
    setObjectName(QStringLiteral("DebugFillArray"));
    setWindowTitle(QStringLiteral("Debugging form - fill the array"));

    auto* form = new QFormLayout;
    auto field = [this, form](const char* name, const char* labelName, const QString& label) {
        auto* edit = new QLineEdit(QString::fromLatin1(name), this);
        edit->setObjectName(QString::fromLatin1(name));
        auto* l = new QLabel(label, this);
        l->setObjectName(QString::fromLatin1(labelName));
        l->setBuddy(edit);
        form->addRow(l, edit);
        return edit;
    };
    m_interval = field("Text1", "Label1", QStringLiteral("Time interval of logging events (minutes)"));
    m_count = field("Text2", "Label2", QStringLiteral("Number of events to fill"));
    m_pulses = field("Text3", "Label3", QStringLiteral("Max. pulses in logging interval (will be randomized)"));
    m_pointer = field("Text4", "Label4", QStringLiteral("Current array pointer"));
    m_pointer->setReadOnly(true);

    auto* fillButton = new QPushButton(QStringLiteral("Fill the Logging Array"), this);
    fillButton->setObjectName(QStringLiteral("Command1"));
    auto* closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setObjectName(QStringLiteral("Command2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(fillButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(fillButton, &QPushButton::clicked, this, &DebugFillArray::fill);
    // Only hidden, so the typed values stay for the next use.
    connect(closeButton, &QPushButton::clicked, this, [this] { hideScreenFrame(*this); });
}

void DebugFillArray::fill()
{
    if (m_filling)
        return;
    m_filling = true;
    const QString message =
        FillArray(m_ctx, {m_interval->text(), m_count->text(), m_pulses->text()}, [this](qint32 row) {
            m_pointer->setText(QString::number(row));
            m_pointer->repaint();
        });
    m_filling = false;
    if (!message.isEmpty())
        m_ctx.services.dialogs.message(message);
}
