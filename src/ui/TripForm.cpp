// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TripForm.h"

#include "metering/TripEngine.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int ValueBoxWidth = 170;
}

TripForm::TripForm(TripEngine& engine, QWidget* parent) : QWidget(parent), m_engine(engine)
{
    setObjectName(QStringLiteral("TripForm"));
    setWindowTitle(QStringLiteral("Live Display Energy Trip"));

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    connect(m_timer, &QTimer::timeout, &m_engine, &TripEngine::tick);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setColumnStretch(3, 1);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("Label22"));
    QFont bold = m_status->font();
    bold.setBold(true);
    m_status->setFont(bold);
    grid->addWidget(m_status, 0, 0, 1, 3);

    auto* markLabel = new QLabel(QStringLiteral("Mark Status"), this);
    markLabel->setObjectName(QStringLiteral("Label2"));
    m_mark = new QLineEdit(this);
    m_mark->setObjectName(QStringLiteral("Text2"));
    m_mark->setReadOnly(true);
    m_mark->setFocusPolicy(Qt::NoFocus);
    m_mark->setFixedWidth(48);
    m_mark->setToolTip(QStringLiteral(
        "Indicates when the mark on the meter disk is detected by the camera (goes dark when detected)."));
    markLabel->setBuddy(m_mark);
    grid->addWidget(markLabel, 1, 0);
    grid->addWidget(m_mark, 1, 1, Qt::AlignLeft);

    addValue(grid, 2, "Text1", "Label1", QStringLiteral("Time of last reset"), &TripDisplay::Text1,
             "The time you pressed the Start button, or the Reset Counters button.");
    addValue(grid, 3, "Text3", "Label3", QStringLiteral("Seconds since last reset"), &TripDisplay::Text3,
             "Seconds elapsed since you pressed Start or Reset Counters.");
    auto* hms = new QLineEdit(this);
    hms->setObjectName(QStringLiteral("Text3a"));
    hms->setReadOnly(true);
    hms->setAlignment(Qt::AlignRight);
    hms->setFixedWidth(ValueBoxWidth * 3 / 4);
    hms->setToolTip(QStringLiteral("Time since you started (or reset) in hours, minutes and seconds."));
    hms->setAccessibleName(QStringLiteral("Time since last reset"));
    grid->addWidget(hms, 3, 2, Qt::AlignLeft);
    m_values.emplace_back(hms, &TripDisplay::Text3a);
    addValue(grid, 4, "Text4", "Label4", QStringLiteral("Disk revolutions since last reset"), &TripDisplay::Text4,
             "Total number of times the disk in the electricity meter has revolved since starting or resetting.");
    m_energyCaption = addValue(grid, 5, "Text5", "Label5", QString(), &TripDisplay::Text5, "Total electricity used.");
    addValue(grid, 6, "Text6", "Label6", QStringLiteral("Total cost since last reset"), &TripDisplay::Text6,
             "Cost of the electricity used since starting this test.");
    addValue(grid, 7, "Text7", "Label7", QStringLiteral("Averaged power over last 5 mins"), &TripDisplay::Text7,
             "The average power you are using, based on the readings over the last 5 minutes only. Readings older "
             "than 5 minutes are discarded.");
    addValue(grid, 8, "Text8", "Label8", QStringLiteral("Averaged cost over last 5 minutes"), &TripDisplay::Text8,
             "The average cost per hour of your electricity usage, based on the readings over the last 5 minutes "
             "only. Readings older than 5 minutes are discarded.");
    addValue(grid, 9, "Text9", "Label9", QStringLiteral("Averaged power over last hour"), &TripDisplay::Text9,
             "The average power you are using, based on the readings over the last 1 hour. Readings older than 1 "
             "hour are discarded.");
    addValue(grid, 10, "Text10", "Label10", QStringLiteral("Averaged cost over last hour"), &TripDisplay::Text10,
             "The average cost per hour of your electricity usage, based on the readings over the last 1 hour only. "
             "Readings older than 1 hour are discarded.");
    addValue(grid, 11, "Text11", "Label11", QStringLiteral("Instantaneous Power"), &TripDisplay::Text11,
             "The power usage rate between the last two revolutions of the meter disk.");
    addValue(grid, 12, "Text12", "Label12", QStringLiteral("Instantaneous cost per hour"), &TripDisplay::Text12,
             "The cost per hour rate of the electricity used between the last two revolutions of the meter disk.");

    // Cost boxes carry the currency, power boxes the power title; the two averaged costs are per hour.
    const auto cost = [&](int row, const char* name) { m_currencyUnits.push_back(addUnits(grid, row, {name})[0]); };
    const auto costPerHour = [&](int row, const char* name, const char* perHour) {
        const std::vector<QLabel*> labels = addUnits(grid, row, {name, perHour});
        m_currencyUnits.push_back(labels[0]);
        labels[1]->setText(QStringLiteral("per hour"));
    };
    const auto power = [&](int row, const char* name) { m_powerUnits.push_back(addUnits(grid, row, {name})[0]); };
    cost(6, "Label13");
    power(7, "Label18");
    costPerHour(8, "Label14", "Label16");
    power(9, "Label19");
    costPerHour(10, "Label15", "Label17");
    power(11, "Label20");
    cost(12, "Label21");

    m_start = addButton("StartButton", QStringLiteral("Start"));
    m_stop = addButton("StopButton", QStringLiteral("Stop"));
    m_reset = addButton("ResetButton", QStringLiteral("Reset Counters"));
    m_baseline = addButton("butBaseLine", QString());
    connect(m_start, &QPushButton::clicked, &m_engine, &TripEngine::startButton);
    connect(m_stop, &QPushButton::clicked, &m_engine, &TripEngine::stopButton);
    connect(m_reset, &QPushButton::clicked, &m_engine, &TripEngine::resetButton);
    connect(m_baseline, &QPushButton::clicked, &m_engine, &TripEngine::toggleBaseline);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_start, m_stop, m_reset, m_baseline})
        buttons->addWidget(b);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    layout->addStretch();

    connect(&m_engine, &TripEngine::displayChanged, this, &TripForm::render);
    m_engine.load();
    render();
}

QLabel* TripForm::addValue(QGridLayout* grid, int row, const char* name, const char* labelName, const QString& caption,
                           QString TripDisplay::*text, const char* tooltip)
{
    auto* label = new QLabel(caption, this);
    label->setObjectName(QString::fromLatin1(labelName));
    auto* box = new QLineEdit(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignRight);
    box->setFixedWidth(ValueBoxWidth);
    box->setToolTip(QString::fromLatin1(tooltip));
    label->setBuddy(box);
    grid->addWidget(label, row, 0);
    grid->addWidget(box, row, 1);
    m_values.emplace_back(box, text);
    return label;
}

std::vector<QLabel*> TripForm::addUnits(QGridLayout* grid, int row, std::initializer_list<const char*> names)
{
    auto* units = new QHBoxLayout;
    units->setSpacing(4);
    std::vector<QLabel*> labels;
    for (const char* name : names) {
        auto* unit = new QLabel(this);
        unit->setObjectName(QString::fromLatin1(name));
        units->addWidget(unit);
        labels.push_back(unit);
    }
    units->addStretch();
    grid->addLayout(units, row, 2);
    return labels;
}

QPushButton* TripForm::addButton(const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

void TripForm::render()
{
    const TripDisplay& d = m_engine.display();
    for (const auto& [box, text] : m_values)
        box->setText(d.*text);
    m_status->setText(d.Label22);
    m_energyCaption->setText(d.Label5);
    for (QLabel* unit : m_currencyUnits)
        unit->setText(d.currencyTitle);
    for (QLabel* unit : m_powerUnits)
        unit->setText(d.powerTitle);
    m_start->setEnabled(d.startEnabled);
    m_stop->setEnabled(d.stopEnabled);
    m_reset->setEnabled(d.resetEnabled);
    m_baseline->setText(d.baselineCaption);

    // The text colour against the box's own background: dark on a light theme, and always in contrast.
    QPalette mark = m_mark->palette();
    mark.setColor(QPalette::Base, palette().color(d.markOn ? QPalette::Text : QPalette::Base));
    m_mark->setPalette(mark);

    // Setting the interval of a running timer restarts it, which a burst of refreshes must not do.
    if (m_timer->interval() != d.timerIntervalMilliseconds)
        m_timer->setInterval(d.timerIntervalMilliseconds);
    if (d.timerEnabled && !m_timer->isActive())
        m_timer->start();
    else if (!d.timerEnabled)
        m_timer->stop();
}

void TripForm::closeEvent(QCloseEvent* event)
{
    if (m_engine.canClose())
        event->accept();
    else
        event->ignore();
}
