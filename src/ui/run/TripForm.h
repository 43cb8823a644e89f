// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QPushButton;
class RunFigurePanel;
class TripEngine;

// "Live Display Energy Trip": renders the trip engine's display state and forwards the buttons to it (the
// engine's own timer runs it). Lives from start-up to exit; closing only hides it, and is refused while the trip runs.
class TripForm : public QWidget
{
    Q_OBJECT
public:
    explicit TripForm(TripEngine& engine, QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void render();

    TripEngine& m_engine;
    RunFigurePanel* m_panel = nullptr;
    QPushButton* m_reset = nullptr;
    QPushButton* m_baseline = nullptr;
};
