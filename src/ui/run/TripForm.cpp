// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/run/TripForm.h"

#include "metering/TripEngine.h"
#include "ui/run/RunFigurePanel.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

RunFigureTexts tripTexts()
{
    RunFigureTexts t;
    t.label1 = QStringLiteral("Time of last reset");
    t.tip1 = QStringLiteral("The time you pressed the Start button, or the Reset Counters button.");
    t.label3 = QStringLiteral("Seconds since last reset");
    t.tip3 = QStringLiteral("Seconds elapsed since you pressed Start or Reset Counters.");
    t.tip3a = QStringLiteral("Time since you started (or reset) in hours, minutes and seconds.");
    t.name3a = QStringLiteral("Time since last reset");
    t.label4 = QStringLiteral("Disk revolutions since last reset");
    t.tip4 = QStringLiteral(
        "Total number of times the disk in the electricity meter has revolved since starting or resetting.");
    t.tip5 = QStringLiteral("Total electricity used.");
    t.label6 = QStringLiteral("Total cost since last reset");
    t.tip6 = QStringLiteral("Cost of the electricity used since starting this test.");
    return t;
}

} // namespace

TripForm::TripForm(TripEngine& engine, QWidget* parent) : QWidget(parent), m_engine(engine)
{
    setObjectName(QStringLiteral("TripForm"));
    setWindowTitle(QStringLiteral("Live Display Energy Trip"));

    m_panel = new RunFigurePanel(tripTexts(), this);
    m_reset = m_panel->addButton("ResetButton", QStringLiteral("Reset Counters"));
    m_baseline = m_panel->addButton("butBaseLine", QString());
    connect(m_panel->startButton(), &QPushButton::clicked, &m_engine, &TripEngine::startButton);
    connect(m_panel->stopButton(), &QPushButton::clicked, &m_engine, &TripEngine::stopButton);
    connect(m_reset, &QPushButton::clicked, &m_engine, &TripEngine::resetButton);
    connect(m_baseline, &QPushButton::clicked, &m_engine, &TripEngine::toggleBaseline);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_panel);
    layout->addStretch();

    connect(&m_engine, &TripEngine::displayChanged, this, &TripForm::render);
    m_engine.load();
    render();
}

void TripForm::render()
{
    const TripDisplay& d = m_engine.display();
    m_panel->render(d);
    m_reset->setEnabled(d.resetEnabled);
    m_baseline->setText(d.baselineCaption);
}

void TripForm::closeEvent(QCloseEvent* event)
{
    if (m_engine.canClose())
        event->accept();
    else
        event->ignore();
}
