// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/data/DataTaskForm.h"

#include "ui/shell/ScreenFrame.h"

#include <QProgressBar>
#include <QVBoxLayout>

DataTaskForm::DataTaskForm(MeteringContext& ctx, const QString& caption, Task task, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx), m_task(std::move(task))
{
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setMinimumWidth(360);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_bar);
    resize(420, 70);

    m_timer.setObjectName(QStringLiteral("Timer1"));
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &DataTaskForm::run);
    m_timer.start();
}

void DataTaskForm::run()
{
    m_timer.stop();
    if (m_running)
        return;
    m_running = true;
    FormHooks hooks;
    hooks.hide = [this] { hideScreenFrame(*this); };
    hooks.show = [this] { showScreenFrame(*this); };
    hooks.progress.setRange = [this](int minimum, int maximum) { m_bar->setRange(minimum, maximum); };
    hooks.progress.setValue = [this](int value) {
        m_bar->setValue(value);
        m_bar->repaint(); // the task runs without returning to the event loop
    };
    {
        // Retries wait with events running: a close meanwhile waits for the task.
        const BusyWindow::Work work(m_busy);
        const bool ok = m_task(m_ctx, hooks);
        m_running = false;
        emit taskDone(ok);
    }
    closeScreenFrame(*this); // harmless when a close asked for during the task closed it already
}
