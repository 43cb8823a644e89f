// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/QueuedMessages.h"
#include "app/TextFormat.h"
#include "metering/LoggingDisplay.h"

#include <QDateTime>
#include <QObject>

struct MeteringContext;

// The logging run: its own pulse totals and minute windows, one record per logging interval, the disk
// backup, the difference log and the live file, and the state the logging screen shows. The screen's
// timer calls tick(); tests call it directly on a fake clock.
class LoggingEngine : public QObject
{
    Q_OBJECT

public:
    explicit LoggingEngine(MeteringContext& ctx, QObject* parent = nullptr);
    ~LoggingEngine() override;

    const LoggingDisplay& display() const { return m_display; }
    MeteringContext& context() { return m_ctx; }

    // What the screen does when it loads: unit captions, then an empty display for the current state.
    void load();

    void StartLogging();
    void StopLogging();
    void ResetLogging();
    // Closes the running minute into both windows; false when a new run began while it waited.
    bool LoggingTimer();
    // Recomputes the four window averages.
    void LoggingCalculations();
    void RefreshLoggingDisplay();
    void ClearLoggingDisplay();
    // The backup step; its error messages are shown after the tick or the Stop button. fromTimer waits for the backup
    // interval and reports a difference-log error once.
    void DoWriteDiskBackup(bool fromTimer);

    // One tick of the logging timer: minute update and live file, record, backup, refresh, in that order.
    void tick();

    // The Start button: questions, a fresh run, the camera warning. True when logging started.
    bool startButton() { return startRun(true).isEmpty(); }
    // The Stop button: stop, then back up every row not yet on disk.
    void stopButton() { stopRun(true); }
    // The same from a command, where no one can be asked: "" when done, otherwise why not (what the Start
    // button would have asked about). Messages go out as notices that wait for no one.
    QString startCommand() { return startRun(false); }
    QString stopCommand();
    // Continues an interrupted run whose records are in the data array and on disk: no questions, the
    // totals and seconds go on from the last record, the next backup appends, and `comment` goes into the
    // next record.
    void ResumeLogging(const QDateTime& startTime, const QString& comment);
    // False (after telling the user) while logging runs.
    bool canClose();

signals:
    void displayChanged();
    // A run began (Start button or resume) or was stopped by the Stop button.
    void runStarted(const QDateTime& startTime);
    void runStopped();
    // After each tick of a running logging: its timer still turns.
    void ticked();

private:
    void changed() { emit displayChanged(); }
    void runTick();
    // canAsk: questions are asked and messages wait for OK; otherwise a question refuses the start.
    QString startRun(bool canAsk);
    void stopRun(bool canWait);

    MeteringContext& m_ctx;
    LoggingDisplay m_display;
    QueuedMessages m_messages;
    GeneralDateFormat m_dates; // built once: the screen refreshes several times a second
    bool m_inTick = false;
    bool m_backupInProgress = false;
    bool m_backupRequested = false;
};
