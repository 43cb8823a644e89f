// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/LoggingEngine.h"

#include "app/Clock.h"
#include "app/Dialogs.h"
#include "app/FileIo.h"
#include "app/TextFormat.h"
#include "metering/CameraState.h"
#include "metering/DataFileWriters.h"
#include "metering/EarlierBackup.h"
#include "metering/LogEvent.h"
#include "metering/MeteringContext.h"
#include "metering/PowerBound.h"
#include "metering/PulseSignal.h"
#include "metering/RunCalculations.h"
#include "metering/Tariffs.h"

LoggingEngine::LoggingEngine(MeteringContext& ctx, QObject* parent) : QObject(parent), m_ctx(ctx), m_dates(ctx.locale)
{
    m_ctx.refreshLoggingDisplay = [this] { RefreshLoggingDisplay(); };
}

LoggingEngine::~LoggingEngine()
{
    m_ctx.refreshLoggingDisplay = nullptr;
}

void LoggingEngine::load()
{
    const GlobalSettings& s = m_ctx.settings;
    m_display.Label5 = QStringLiteral("Total ") + s.ENERGY_TITLE + QStringLiteral(" since start");
    m_display.currencyTitle = s.CURRENCY_TITLE;
    m_display.powerTitle = s.POWER_TITLE;
    m_display.WriteStatus.clear();
    ClearLoggingDisplay();
    RefreshLoggingDisplay();
}

void LoggingEngine::StartLogging()
{
    m_ctx.logging.timerTicksCounted = 0;
    ResetLogging();
    RefreshLoggingDisplay();
    m_display.timerIntervalMilliseconds = m_ctx.settings.TIMER_TICK_MILLISECONDS;
    m_display.timerEnabled = true;
    m_ctx.blnGlobalLoggingRunning = true;
    changed();
}

void LoggingEngine::StopLogging()
{
    m_display.timerIntervalMilliseconds = m_ctx.settings.TIMER_TICK_MILLISECONDS;
    m_display.timerEnabled = false;
    m_ctx.blnGlobalLoggingRunning = false;
    RefreshLoggingDisplay();
}

void LoggingEngine::ResetLogging()
{
    LoggingFileState& f = m_ctx.loggingFiles;
    ResetRunState(m_ctx, m_ctx.logging);
    const double now = m_ctx.services.clock.timer();
    f.dblGlobalTimeLastLOGGINGevent = now;
    f.dblGlobalTimeLastARRAYWRITEevent = now;
    f.blnGlobalDiskBackupFailed = false;
    f.blnGlobalDiffLogErrorShown = false;
    f.lngGlobalLastRecordWrittenToDisk = 0;
    f.blnGlobalBackupFileIsNew = true;
    StartLoggingInterval(m_ctx.pulse);
    m_ctx.strGlobalUserComment.clear();
    LoadWorkingMeterValues(m_ctx);
    RefreshLoggingDisplay();
}

bool LoggingEngine::LoggingTimer()
{
    return CloseRunMinute(m_ctx, m_ctx.logging, RunSeconds::Keep);
}

void LoggingEngine::LoggingCalculations()
{
    CalculateRunAverages(m_ctx.logging);
}

void LoggingEngine::RefreshLoggingDisplay()
{
    const QDateTime now = m_ctx.services.clock.now();
    const GlobalSettings& s = m_ctx.settings;
    const RunState& run = m_ctx.logging;
    auto shown = [&](double value, int places) { return RoundedText(value, places, m_ctx.locale); };
    LoggingDisplay& d = m_display;
    if (m_ctx.blnGlobalLoggingRunning) {
        const qint32 seconds = WholeSecondsBetween(run.startTime, now);
        d.Text1 = m_dates.format(run.startTime);
        d.Text3 = QString::number(seconds);
        d.Text3a = ElapsedTimeText(seconds);
        d.Text4 = QString::number(run.totalPulse);
        d.Text5 = shown(run.totalKWH, s.ENERGY_ROUNDING_PLACES);
        d.Text6 = shown(run.totalCost, s.COST_ROUNDING_PLACES);
        d.Text7 = shown(run.avg5minKWH, s.POWER_ROUNDING_PLACES);
        d.Text8 = shown(run.avg5minCost, s.COST_ROUNDING_PLACES);
        d.Text9 = shown(run.avg1hourKWH, s.POWER_ROUNDING_PLACES);
        d.Text10 = shown(run.avg1hourCost, s.COST_ROUNDING_PLACES);
        d.Text11 = shown(m_ctx.pulse.dblGlobalInstantKW, s.POWER_ROUNDING_PLACES);
        d.Text12 = shown(m_ctx.pulse.dblGlobalInstantCostPerHour, s.COST_ROUNDING_PLACES);
        d.powerNow = PowerNowText(m_ctx);
        d.tariff = TariffText(m_ctx);
        d.startEnabled = false;
        d.stopEnabled = true;
        d.addCommentEnabled = true;
        d.Label22 = QStringLiteral("STATUS: RUNNING");
    } else {
        d.startEnabled = !m_backupInProgress;
        d.stopEnabled = false;
        d.addCommentEnabled = false;
        d.Label22 = QStringLiteral("STATUS: STOPPED");
        d.powerNow.clear();
        d.tariff.clear();
    }
    d.Text13 = CameraStatusLine(m_ctx);
    d.markOn = m_ctx.blnGlobalMarkOn;
    changed();
}

void LoggingEngine::ClearLoggingDisplay()
{
    LoggingDisplay& d = m_display;
    d.clearFigures();
    const bool running = m_ctx.blnGlobalLoggingRunning;
    d.startEnabled = !running;
    d.stopEnabled = running;
    d.addCommentEnabled = running;
    d.markOn = m_ctx.blnGlobalMarkOn;
    changed();
}

void LoggingEngine::DoWriteDiskBackup(bool fromTimer)
{
    if (m_backupInProgress) {
        // Reached from inside a retry wait of the running backup: that one finishes first, then the rows
        // this call wanted are written by a second pass (the Stop button must not lose its final backup).
        if (!fromTimer)
            m_backupRequested = true;
        return;
    }
    MeteringContext& ctx = m_ctx;
    LoggingFileState& f = ctx.loggingFiles;
    const GlobalSettings& s = ctx.settings;
    const double t = ctx.services.clock.timer();
    const DataArray& data = ctx.varGlobalDataArray;

    if (!s.WRITE_ARRAY_TO_DISK || f.blnGlobalDiskBackupFailed || !data.IsDataInMemory() ||
        data.lastSequence() <= f.lngGlobalLastRecordWrittenToDisk)
        return;
    if (fromTimer && SecondsBetween(t, f.dblGlobalTimeLastARRAYWRITEevent) < s.ARRAY_WRITE_INTERVAL_SECONDS)
        return;

    m_backupInProgress = true;
    m_display.WriteStatus = QStringLiteral("Writing data to disk");
    RefreshLoggingDisplay();

    const qint64 first = f.lngGlobalLastRecordWrittenToDisk + 1;
    const qint64 last = data.lastSequence();
    const QString backupError = write_data_file(ctx, ctx.paths.dataStore, first, last, f.blnGlobalBackupFileIsNew);
    f.blnGlobalBackupFileIsNew = false;
    QString diffError;
    if (s.WRITE_DIFF_LOG_FILE)
        diffError = write_diff_file(ctx, ctx.paths.diffLog, first, last, ctx.paths.diffLogCtl);
    f.lngGlobalLastRecordWrittenToDisk = last;

    // Shown once the tick or the Stop button is over: a box open inside the tick would hold up logging.
    if (!backupError.isEmpty()) {
        f.blnGlobalDiskBackupFailed = true;
        m_messages.post(QStringLiteral("Error writing to disk: ") + backupError + CrLf +
                        QStringLiteral("Logging continues but will not be backed up to disk. Please export "
                                       "data manually at end if you want to keep it."));
    }
    if (s.WRITE_DIFF_LOG_FILE && !diffError.isEmpty() && (!fromTimer || !f.blnGlobalDiffLogErrorShown)) {
        if (fromTimer)
            f.blnGlobalDiffLogErrorShown = true;
        m_messages.post(QStringLiteral("Error writing log interface file to disk: ") + diffError + CrLf);
    }

    f.dblGlobalTimeLastARRAYWRITEevent = TruncateSeconds(t);
    m_backupInProgress = false;
    m_display.WriteStatus.clear();
    RefreshLoggingDisplay();

    if (m_backupRequested) {
        m_backupRequested = false;
        DoWriteDiskBackup(false);
    }
}

void LoggingEngine::tick()
{
    // The writers wait between attempts while events run; a tick arriving then must not start another.
    if (m_inTick || !m_ctx.blnGlobalLoggingRunning)
        return;
    m_inTick = true;
    runTick();
    m_inTick = false;
    m_messages.showAll(m_ctx.services.dialogs);
    emit ticked();
}

void LoggingEngine::runTick()
{
    MeteringContext& ctx = m_ctx;
    const GlobalSettings& s = ctx.settings;
    RunState& run = ctx.logging;
    LoggingFileState& f = ctx.loggingFiles;
    const double now = ctx.services.clock.timer();
    // Stop and Start pressed while this tick waits begin a new run; the rest of the tick, with its clock
    // reading from before, belongs to the old one and is dropped.
    const quint32 runNumber = run.number;
    auto restarted = [&] { return run.number != runNumber || !ctx.blnGlobalLoggingRunning; };

    if (SecondsBetween(now, run.timeLastCalculationEvent) >= 60.0) {
        if (!LoggingTimer())
            return;
        LoggingCalculations();
        RefreshLoggingDisplay();
        run.timeLastCalculationEvent = TruncateSeconds(now);
        if (s.WRITE_LIVE_DATA_FILE)
            write_live_file(ctx, ctx.paths.liveData, ctx.paths.liveDataCtl); // the next minute simply tries again
    }

    // The waits above let the Stop button run; a stopped run takes no further record after its final backup.
    if (restarted())
        return;
    if (SecondsBetween(now, f.dblGlobalTimeLastLOGGINGevent) >= s.LOGGING_INTERVAL_SECONDS) {
        DoWriteLogevent(ctx);
        RefreshLoggingDisplay();
        f.dblGlobalTimeLastLOGGINGevent = TruncateSeconds(now);
    }
    DoWriteDiskBackup(true);
    if (restarted())
        return;

    if (s.LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS / 1000.0 <= SecondsBetween(now, run.timeLastScreenUpdateEvent)) {
        RefreshLoggingDisplay();
        run.timeLastScreenUpdateEvent = now;
    }
}

QString LoggingEngine::startRun(bool canAsk)
{
    MeteringContext& ctx = m_ctx;
    if (ctx.blnGlobalLoggingRunning)
        return QStringLiteral("logging is running already");
    // A fresh run must not begin under the final backup of the last one, which is still writing its rows.
    if (m_backupInProgress)
        return QStringLiteral("the last run's final backup is still being written");
    Dialogs& dialogs = ctx.services.dialogs;
    QString kept;
    if (ctx.settings.WRITE_ARRAY_TO_DISK && ctx.services.files.exists(ctx.paths.dataStore)) {
        // No one to ask: the last run's backup is kept under its own name, so nothing is overwritten.
        if (!canAsk) {
            const std::optional<LogRecord> first = FirstBackupRecord(ctx);
            if (first)
                kept = KeepEarlierBackup(ctx, RunStart(*first));
            if (kept.isEmpty())
                return QStringLiteral("there is data stored as a file, which could not be kept under another name");
            kept = QStringLiteral("The disk backup of the last logging run, started %1, has been kept as %2.")
                       .arg(GeneralDateFormat(ctx.locale).format(RunStart(*first)), kept);
        } else if (dialogs.message(
                       QStringLiteral("There is data stored as a file, if you continue it will be overwritten. "
                                      "Do you wish to continue?"),
                       Dialogs::Buttons::YesNo) != Dialogs::Answer::Yes) {
            return QStringLiteral("declined");
        }
    }
    // With the backup on, the records in memory are the kept file's or came from a file.
    if (ctx.varGlobalDataArray.IsDataInMemory() && kept.isEmpty()) {
        if (!canAsk)
            return QStringLiteral("there is data in memory, which a new run would overwrite");
        if (dialogs.message(QStringLiteral("There is data already in memory, do you wish to overwrite it?\n"
                                           "If you do so, you will lose the previous data results"),
                            Dialogs::Buttons::YesNoCancel, Dialogs::Icon::None,
                            QStringLiteral("Data in memory")) != Dialogs::Answer::Yes)
            return QStringLiteral("declined");
    }
    ResetWorkingValues(ctx);
    StartLogging();
    RefreshLoggingDisplay();
    emit runStarted(ctx.logging.startTime);
    if (!kept.isEmpty())
        dialogs.notice(kept, Dialogs::Icon::Information);
    if (!ctx.blnGlobalCameraRunning) {
        const QString warning = QStringLiteral("Warning. Camera is not running and data will not be logged. If you "
                                               "want to log fresh data you should start the camera");
        if (canAsk)
            dialogs.message(warning, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        else
            dialogs.notice(warning, Dialogs::Icon::Exclamation);
    }
    return {};
}

QString LoggingEngine::stopCommand()
{
    if (!m_ctx.blnGlobalLoggingRunning)
        return QStringLiteral("logging is not running");
    stopRun(false);
    return {};
}

void LoggingEngine::stopRun(bool canWait)
{
    StopLogging();
    DoWriteDiskBackup(false);
    RefreshLoggingDisplay();
    emit runStopped();
    m_messages.showAll(m_ctx.services.dialogs, canWait);
}

void LoggingEngine::ResumeLogging(const QDateTime& startTime, const QString& comment)
{
    StartLogging();
    RunState& run = m_ctx.logging;
    LoggingFileState& f = m_ctx.loggingFiles;
    const DataArray& data = m_ctx.varGlobalDataArray;
    run.startTime = startTime;
    if (data.IsDataInMemory()) {
        const LogRecord& last = data.row(data.count());
        run.seconds = last.LoggingSeconds;
        run.totalPulse = last.LoggingTotalPulse;
        run.totalKWH = last.TotalEnergy;
        run.totalCost = last.TotalCost;
        // With two tariffs the revolutions before the restart keep the cost they were recorded with; the count
        // alone cannot tell which tariff each was in.
        if (m_ctx.settings.TARIFF_COUNT == 2)
            run.totalSplit = TariffSplit{last.TotalCost, last.LoggingTotalPulse};
    }
    // The records read back are on disk already; with none, the first backup starts the file with its header.
    f.lngGlobalLastRecordWrittenToDisk = data.lastSequence();
    f.blnGlobalBackupFileIsNew = data.lastSequence() == 0;
    m_ctx.strGlobalUserComment = comment;
    RefreshLoggingDisplay();
    emit runStarted(startTime);
}

bool LoggingEngine::canClose()
{
    if (!m_ctx.blnGlobalLoggingRunning)
        return true;
    m_ctx.services.dialogs.message(QStringLiteral("Please stop the logging process before trying to close it"),
                                   Dialogs::Buttons::Ok);
    return false;
}
