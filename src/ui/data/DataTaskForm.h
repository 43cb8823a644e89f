// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/ProgressReport.h"
#include "ui/shell/BusyWindow.h"

#include <QTimer>
#include <QWidget>
#include <functional>

class QProgressBar;
struct MeteringContext;

// A small window that runs one data task (export, import, reload) from its start timer once it is on
// screen, shows the task's progress bar, and closes itself whatever the outcome.
class DataTaskForm : public QWidget
{
    Q_OBJECT
public:
    using Task = std::function<bool(MeteringContext&, const FormHooks&)>;

    DataTaskForm(MeteringContext& ctx, const QString& caption, Task task, QWidget* parent = nullptr);

signals:
    // Emitted just before the window closes: true when the task finished without error.
    void taskDone(bool ok);

private:
    void run();

    MeteringContext& m_ctx;
    Task m_task;
    QProgressBar* m_bar = nullptr;
    QTimer m_timer;
    BusyWindow m_busy{*this};
    bool m_running = false;
};
