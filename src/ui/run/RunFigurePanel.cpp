// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/run/RunFigurePanel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int ValueBoxWidth = 170;

QLineEdit* valueBox(QWidget* parent, const char* name, const QString& tooltip, int width)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignRight);
    box->setFixedWidth(width);
    box->setToolTip(tooltip);
    return box;
}

} // namespace

RunFigurePanel::RunFigurePanel(const RunFigureTexts& texts, QWidget* parent) : QWidget(parent)
{
    m_grid = new QGridLayout;
    m_grid->setHorizontalSpacing(8);
    m_grid->setColumnStretch(3, 1);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("Label22"));
    QFont bold = m_status->font();
    bold.setBold(true);
    m_status->setFont(bold);
    m_statusLine = new QHBoxLayout;
    m_statusLine->setSpacing(16);
    m_statusLine->addWidget(m_status);
    m_tariff = new QLabel(this);
    m_tariff->setObjectName(QStringLiteral("lblTariff"));
    m_tariff->setToolTip(QStringLiteral("The tariff in force and its price per unit: each revolution is priced at "
                                        "the tariff it is counted in."));
    m_tariff->hide();
    m_statusLine->addWidget(m_tariff);
    m_statusLine->addStretch();
    m_grid->addLayout(m_statusLine, m_rows++, 0, 1, 4);

    m_mark = addValue("Text2", "Label2", QStringLiteral("Mark Status"),
                      QStringLiteral("Indicates when the mark on the meter disk is detected by the camera (goes dark "
                                     "when detected)."));
    m_mark->setFixedWidth(48);
    m_mark->setFocusPolicy(Qt::NoFocus);

    addFigure("Text1", "Label1", texts.label1, &RunDisplay::Text1, texts.tip1);
    addFigure("Text3", "Label3", texts.label3, &RunDisplay::Text3, texts.tip3);
    QLineEdit* hms = valueBox(this, "Text3a", texts.tip3a, ValueBoxWidth * 3 / 4);
    hms->setAccessibleName(texts.name3a);
    m_grid->addWidget(hms, m_rows - 1, 2, Qt::AlignLeft);
    m_figures.emplace_back(hms, &RunDisplay::Text3a);
    addFigure("Text4", "Label4", texts.label4, &RunDisplay::Text4, texts.tip4);
    m_energyCaption = addFigure("Text5", "Label5", QString(), &RunDisplay::Text5, texts.tip5);
    addFigure("Text6", "Label6", texts.label6, &RunDisplay::Text6, texts.tip6);
    m_currencyUnits.push_back(addUnit(m_rows - 1, "Label13"));
    addFigure("Text7", "Label7", QStringLiteral("Averaged power over last 5 mins"), &RunDisplay::Text7,
              QStringLiteral("The average power you are using, based on the readings over the last 5 minutes only. "
                             "Readings older than 5 minutes are discarded."));
    m_powerUnits.push_back(addUnit(m_rows - 1, "Label18"));
    addFigure("Text8", "Label8", QStringLiteral("Averaged cost over last 5 minutes"), &RunDisplay::Text8,
              QStringLiteral("The average cost per hour of your electricity usage, based on the readings over the "
                             "last 5 minutes only. Readings older than 5 minutes are discarded."));
    m_currencyUnits.push_back(addUnit(m_rows - 1, "Label14", "Label16"));
    addFigure("Text9", "Label9", QStringLiteral("Averaged power over last hour"), &RunDisplay::Text9,
              QStringLiteral("The average power you are using, based on the readings over the last 1 hour. Readings "
                             "older than 1 hour are discarded."));
    m_powerUnits.push_back(addUnit(m_rows - 1, "Label19"));
    addFigure("Text10", "Label10", QStringLiteral("Averaged cost over last hour"), &RunDisplay::Text10,
              QStringLiteral("The average cost per hour of your electricity usage, based on the readings over the "
                             "last 1 hour only. Readings older than 1 hour are discarded."));
    m_currencyUnits.push_back(addUnit(m_rows - 1, "Label15", "Label17"));
    addFigure("Text11", "Label11", QStringLiteral("Instantaneous Power"), &RunDisplay::Text11,
              QStringLiteral("The power usage rate between the last two revolutions of the meter disk."));
    m_powerUnits.push_back(addUnit(m_rows - 1, "Label20"));
    addFigure("Text12", "Label12", QStringLiteral("Instantaneous cost per hour"), &RunDisplay::Text12,
              QStringLiteral("The cost per hour rate of the electricity used between the last two revolutions of "
                             "the meter disk."));
    m_currencyUnits.push_back(addUnit(m_rows - 1, "Label21"));
    m_powerNow = new QLabel(this);
    m_powerNow->setObjectName(QStringLiteral("lblPowerNow"));
    m_powerNow->setToolTip(QStringLiteral("The disk has gone longer without a revolution than the last one took, so "
                                          "the power now is lower than the instantaneous power: at most this."));
    // The row stays when the line is empty, so the buttons below do not jump as it comes and goes.
    m_powerNow->setMinimumHeight(m_powerNow->fontMetrics().height());
    m_grid->addWidget(m_powerNow, m_rows++, 0, 1, 4);

    m_buttons = new QHBoxLayout;
    m_buttons->addStretch();
    m_start = addButton("StartButton", QStringLiteral("Start"));
    m_stop = addButton("StopButton", QStringLiteral("Stop"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_grid);
    layout->addSpacing(6);
    layout->addLayout(m_buttons);
}

QLineEdit* RunFigurePanel::addValue(const char* name, const char* labelName, const QString& caption,
                                    const QString& tooltip)
{
    auto* label = new QLabel(caption, this);
    label->setObjectName(QString::fromLatin1(labelName));
    QLineEdit* box = valueBox(this, name, tooltip, ValueBoxWidth);
    label->setBuddy(box);
    m_grid->addWidget(label, m_rows, 0);
    m_grid->addWidget(box, m_rows, 1, Qt::AlignLeft);
    ++m_rows;
    return box;
}

QLabel* RunFigurePanel::addFigure(const char* name, const char* labelName, const QString& caption,
                                  QString RunDisplay::*text, const QString& tooltip)
{
    QLineEdit* box = addValue(name, labelName, caption, tooltip);
    m_figures.emplace_back(box, text);
    return qobject_cast<QLabel*>(m_grid->itemAtPosition(m_rows - 1, 0)->widget());
}

QLabel* RunFigurePanel::addUnit(int row, const char* name, const char* perHourName)
{
    auto* units = new QHBoxLayout;
    units->setSpacing(4);
    auto* unit = new QLabel(this);
    unit->setObjectName(QString::fromLatin1(name));
    units->addWidget(unit);
    if (perHourName) {
        auto* perHour = new QLabel(QStringLiteral("per hour"), this);
        perHour->setObjectName(QString::fromLatin1(perHourName));
        units->addWidget(perHour);
    }
    units->addStretch();
    m_grid->addLayout(units, row, 2);
    return unit;
}

void RunFigurePanel::addToStatusLine(QWidget* widget)
{
    m_statusLine->insertWidget(m_statusLine->count() - 1, widget);
}

QPushButton* RunFigurePanel::addButton(const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    m_buttons->insertWidget(m_buttons->count() - 1, button);
    return button;
}

void RunFigurePanel::render(const RunDisplay& d)
{
    for (const auto& [box, text] : m_figures)
        box->setText(d.*text);
    m_status->setText(d.Label22);
    m_powerNow->setText(d.powerNow);
    // Hidden with one tariff, so the line reads as it always has.
    m_tariff->setText(d.tariff);
    m_tariff->setVisible(!d.tariff.isEmpty());
    m_energyCaption->setText(d.Label5);
    for (QLabel* unit : m_currencyUnits)
        unit->setText(d.currencyTitle);
    for (QLabel* unit : m_powerUnits)
        unit->setText(d.powerTitle);
    m_start->setEnabled(d.startEnabled);
    m_stop->setEnabled(d.stopEnabled);

    // The text colour against the box's own background: dark on a light theme, and always in contrast.
    QPalette mark = m_mark->palette();
    mark.setColor(QPalette::Base, palette().color(d.markOn ? QPalette::Text : QPalette::Base));
    m_mark->setPalette(mark);
}
