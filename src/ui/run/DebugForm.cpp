// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/run/DebugForm.h"

#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"

#include <QPushButton>
#include <QVBoxLayout>

DebugForm::DebugForm(MeteringContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("DebugForm"));
    setWindowTitle(QStringLiteral("Debug Form"));

    auto* pulse = new QPushButton(QStringLiteral("Press to simulate mark pulse"), this);
    pulse->setObjectName(QStringLiteral("Command1"));
    auto* movingOn = new QPushButton(QStringLiteral("Press to simulate mark moving on"), this);
    movingOn->setObjectName(QStringLiteral("Command2"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pulse);
    layout->addWidget(movingOn);
    layout->addStretch();

    connect(pulse, &QPushButton::clicked, this, &DebugForm::simulateMarkPulse);
    connect(movingOn, &QPushButton::clicked, this, &DebugForm::simulateMarkMovingOn);
}

void DebugForm::simulateMarkPulse()
{
    SetPulseInProgress(m_ctx);
    SetMarkOn(m_ctx);
    RegisterPulse(m_ctx, 1);
    RefreshRunningDisplays(m_ctx);
}

void DebugForm::simulateMarkMovingOn()
{
    ClearPulseInProgress(m_ctx);
    SetMarkOff(m_ctx);
    RefreshRunningDisplays(m_ctx);
}
