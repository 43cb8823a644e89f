// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "metering/TripDisplay.h"

#include <QWidget>
#include <initializer_list>
#include <utility>
#include <vector>

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class TripEngine;

// "Live Display Energy Trip": renders the trip engine's display state and forwards the buttons and the
// timer to it. Lives from start-up to exit; closing only hides it, and is refused while the trip runs.
class TripForm : public QWidget
{
    Q_OBJECT
public:
    explicit TripForm(TripEngine& engine, QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // A caption and its read-only value box; returns the caption.
    QLabel* addValue(QGridLayout* grid, int row, const char* name, const char* labelName, const QString& caption,
                     QString TripDisplay::*text, const char* tooltip);
    // Unit captions beside a value box, in one cell; their texts come from the display.
    std::vector<QLabel*> addUnits(QGridLayout* grid, int row, std::initializer_list<const char*> names);
    QPushButton* addButton(const char* name, const QString& caption);
    void render();

    TripEngine& m_engine;
    QTimer* m_timer = nullptr;
    QLabel* m_status = nullptr;
    QLineEdit* m_mark = nullptr;
    QLabel* m_energyCaption = nullptr;
    std::vector<QLabel*> m_currencyUnits;
    std::vector<QLabel*> m_powerUnits;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_reset = nullptr;
    QPushButton* m_baseline = nullptr;
    std::vector<std::pair<QLineEdit*, QString TripDisplay::*>> m_values;
};
