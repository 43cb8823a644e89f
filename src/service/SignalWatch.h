// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <memory>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP turned into Qt signals on the event loop: the handler only writes the signal's
// number into a pipe, which the loop reads. One watch at a time.
class SignalWatch : public QObject
{
    Q_OBJECT

public:
    // Catches the three signals from now on; they wait in the pipe until deliver().
    explicit SignalWatch(QObject* parent = nullptr);
    // Gives the signals back their default actions.
    ~SignalWatch() override;

    // Raises the signals below for what came so far and what comes from now on.
    void deliver();

signals:
    // SIGTERM or SIGINT.
    void stopRequested();
    // SIGHUP.
    void reloadRequested();

private:
    void readPipe();

    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};
