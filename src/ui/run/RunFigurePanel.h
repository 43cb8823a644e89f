// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "metering/RunDisplay.h"

#include <QWidget>
#include <utility>
#include <vector>

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

// The captions and tooltips in which the trip and the logging screen differ; the rest of the figures
// (averages, instantaneous values, the mark) read the same on both.
struct RunFigureTexts
{
    QString label1, tip1; // start time
    QString label3, tip3; // seconds since the start
    QString tip3a;        // the same as hours, minutes and seconds
    QString name3a;       // what a screen reader calls Text3a, which has no caption of its own
    QString label4, tip4; // revolutions
    QString tip5;         // total energy (its caption comes from the display)
    QString label6, tip6; // total cost
};

// The part a run's screen shares: status line (with the tariff in force when there are two), mark indicator, the twelve
// figure boxes with their captions, units and tooltips, the line on the power now under them, and a row of buttons, all
// rendered from a RunDisplay. Controls carry the documented names, so tests and screen
// readers find them on either screen.
class RunFigurePanel : public QWidget
{
    Q_OBJECT
public:
    RunFigurePanel(const RunFigureTexts& texts, QWidget* parent);

    QPushButton* startButton() const { return m_start; }
    QPushButton* stopButton() const { return m_stop; }
    // A further caption and value box below the figures; the screen fills it.
    QLineEdit* addValue(const char* name, const char* labelName, const QString& caption, const QString& tooltip);
    // A widget on the status line, right of the status.
    void addToStatusLine(QWidget* widget);
    // A button after Start, Stop and those added before.
    QPushButton* addButton(const char* name, const QString& caption);

    // Texts, units, Start and Stop, and the mark colour.
    void render(const RunDisplay& d);

private:
    // Returns the caption.
    QLabel* addFigure(const char* name, const char* labelName, const QString& caption, QString RunDisplay::*text,
                      const QString& tooltip);
    QLabel* addUnit(int row, const char* name, const char* perHourName = nullptr);

    QGridLayout* m_grid = nullptr;
    QHBoxLayout* m_statusLine = nullptr;
    QHBoxLayout* m_buttons = nullptr;
    int m_rows = 0;
    QLabel* m_status = nullptr;
    QLabel* m_tariff = nullptr;
    QLineEdit* m_mark = nullptr;
    QLabel* m_energyCaption = nullptr;
    QLabel* m_powerNow = nullptr;
    std::vector<QLabel*> m_currencyUnits;
    std::vector<QLabel*> m_powerUnits;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    std::vector<std::pair<QLineEdit*, QString RunDisplay::*>> m_figures;
};
