// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class LoggingEngine;
class QLabel;
class QLineEdit;
class QPushButton;
class RunFigurePanel;

// "Data Logging Form": renders the logging engine's display state and forwards the buttons to it (the
// engine's own timer runs it); "Add Comment" opens the comment window. Lives from start-up to exit; closing only hides
// it, and is refused while logging runs.
class LoggingForm : public QWidget
{
    Q_OBJECT
public:
    explicit LoggingForm(LoggingEngine& engine, QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void render();
    void addComment();

    LoggingEngine& m_engine;
    RunFigurePanel* m_panel = nullptr;
    QLabel* m_writeStatus = nullptr;
    QLineEdit* m_camera = nullptr;
    QPushButton* m_addComment = nullptr;
};
