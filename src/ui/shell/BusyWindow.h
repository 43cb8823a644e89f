// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// Keeps a window alive while its own work waits with events running (file retries, a long calculation):
// a request to close it meanwhile (its Close button, the frame's X, another screen closing it) is refused
// and remembered, and the window closes as asked once the work is over. Without this the window would be
// freed while the work still runs in it.
class BusyWindow : public QObject
{
public:
    explicit BusyWindow(QWidget& window);

    bool busy() const { return m_depth > 0; }

    // Marks the window busy for its lifetime. Touch nothing of the window after it ends: a refused close
    // is carried out then.
    class Work
    {
    public:
        explicit Work(BusyWindow& busy);
        ~Work();
        Work(const Work&) = delete;
        Work& operator=(const Work&) = delete;

    private:
        QPointer<BusyWindow> m_busy;
    };

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    int m_depth = 0;
    bool m_closeWanted = false;
};
