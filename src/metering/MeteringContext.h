// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/AppContext.h"
#include "metering/DataArray.h"
#include "metering/FileRetry.h"
#include "metering/MinuteWindow.h"
#include "metering/PulseSignal.h"

#include <QDateTime>
#include <functional>
#include <vector>

class PulseObserver;

// Where a count of revolutions crossed changes of tariff. The revolutions counted since the last change are priced at
// the working price, so a changed price re-prices them at the next pulse; those counted before keep the cost they had
// when their tariff ended. With one tariff nothing is ever split and the whole count is priced at the working price.
struct TariffSplit
{
    double earlierCost = 0.0;
    qint32 earlierPulses = 0;
};

// The meter constant, the tariff in force and its price at one moment (MeterValuesInForce).
struct MeterValues
{
    double revsPerKWh = 0.0;
    double costPerKWh = 0.0;
    qint16 tariff = 1;
};

// Pulse timing, instantaneous figures, working meter values and the interval accumulators.
struct PulseState
{
    double dblGlobalTimeLastPulse = -1.0;
    double dblGlobalTimePreviousPulse = -1.0;
    // The clock's date-time when each of those was counted: with the timer's fraction they give the days between.
    QDateTime lastPulseAt;
    QDateTime previousPulseAt;
    // The values in force when the last revolution was counted, and the power it measured at that meter constant;
    // the meter reading and publishing take these, while a run's figures keep the working values of its minute.
    MeterValues counted;
    double measuredKW = 0.0;
    bool timingBroken = false; // the next revolution's time since the last one is no revolution's time
    // A revolution was timed since the camera last started watching (or timing was last broken): only then do the
    // measured power and the cap since the last revolution say anything of the disc as it turns now.
    bool powerMeasured = false;
    // The last timed revolution was faster than the detection settings are known to count (noted in the log once).
    bool beyondAssuredRange = false;
    double dblGlobalInstantKW = 0.0;
    double dblGlobalInstantCostPerHour = 0.0;
    qint32 lngGlobalLightLevel = 0;
    // The turn the last revolution was counted with (always forward without COUNT_DIRECTION); observers read it.
    Turn lastTurn = Turn::Forward;
    // Passes whose turn the camera could not tell, since start: a diagnostic of the direction's detection.
    qint64 undecidedPasses = 0;
    double dblGlobalWkgRevsPerKWH = 0.0;
    double dblGlobalWkgCostPerKWH = 0.0;
    qint16 intGlobalWkgTarrifNumber = 1;
    qint32 lngGlobalWkgIntervalPulseCount = 0;
    double dblGlobalWkgIntervalKWH = 0.0;
    double dblGlobalWkgIntervalCost = 0.0;
    TariffSplit intervalSplit;   // of lngGlobalWkgIntervalPulseCount
    qint32 intervalBackward = 0; // revolutions of the logging interval that turned backwards
};

// The counters and rolling windows of one measurement run. The trip and the logging each have one; the
// comment names the trip's global (the logging's is the same with Logging for Trip).
struct RunState
{
    QDateTime startTime;                  // dteGlobalWkgTripStartTime
    qint32 seconds = 0;                   // lngGlobalWkgTripSeconds
    qint32 newPulseCount = 0;             // lngGlobalWkgTripNewPulseCount
    qint32 oldPulseCount = 0;             // lngGlobalWkgTripOldPulseCount
    qint32 totalPulse = 0;                // lngGlobalWkgTripTotalPulse
    double totalKWH = 0.0;                // dblGlobalWkgTripTotalKWH
    double totalCost = 0.0;               // dblGlobalWkgTripTotalCost
    double avg5minKWH = 0.0;              // dblGlobalWkgTrip5minAvgKWH
    double avg1hourKWH = 0.0;             // dblGlobalWkgTrip1hourAvgKWH
    double avg5minCost = 0.0;             // dblGlobalWkgTrip5minAvgCost
    double avg1hourCost = 0.0;            // dblGlobalWkgTrip1hourAvgCost
    MinuteWindow window5min{5};           // varGlobalTrip5minArray, intGlobalTrip5minPointer, ...ArrayFull
    MinuteWindow window1hour{60};         // varGlobalTrip1hourArray, intGlobalTrip1hourPointer, ...ArrayFull
    double timeLastCalculationEvent = 0;  // dblGlobalTimeLastTRIPScreenCalculationEvent
    double timeLastScreenUpdateEvent = 0; // dblGlobalTimeLastTRIPScreenUpdateEvent
    qint16 timerTicksCounted = 0;         // intGlobalTripTimerTicksCounted
    double secondsSincePulse = -1.0;      // dblGlobalWkgTripSecondsSincePulse
    quint32 number = 0;                   // counts resets, so work that waited can tell a new run began
    TariffSplit totalSplit;               // of totalPulse
    TariffSplit minuteSplit;              // of newPulseCount
};

// Bookkeeping of the logging run's records and disk backup.
struct LoggingFileState
{
    double dblGlobalTimeLastLOGGINGevent = 0.0;
    qint64 lngGlobalLastRecordWrittenToDisk = 0; // sequence number of the last record handed to the backup
    double dblGlobalTimeLastARRAYWRITEevent = 0.0;
    bool blnGlobalDiskBackupFailed = false;
    bool blnGlobalBackupFileIsNew = true;
    bool blnGlobalDiffLogErrorShown = false;
};

// The whole shared state of the running program: the core's context plus everything metering owns.
struct MeteringContext : AppContext
{
    explicit MeteringContext(Services s) : AppContext(s) {}

    PulseState pulse;
    RunState trip;
    RunState logging;
    LoggingFileState loggingFiles;
    DataArray varGlobalDataArray;
    QString strGlobalUserComment;
    // Set while the camera runs but delivers no picture, or is lost while running unattended; the logging screen
    // shows it as the camera status.
    QString strCameraProblem;
    // Set while the register read by the camera differs from the counted reading; the logging screen shows it on the
    // same line when the camera itself has no problem.
    QString registerProblem;
    // Set while the camera is lost while running unattended: every record written meanwhile notes it.
    QString strCameraLostNote;
    // Set by the camera watchdog while the running camera delivers no picture, and while a camera is awaited after
    // it was lost (CameraState.h).
    bool cameraStalled = false;
    bool cameraLost = false;
    // Data files a writer has begun; a second writer of the same file stays away while the first waits.
    FilesInUse filesInUse;
    // The tariff last set by command, kept in TARIFF.STATE; in force with two tariffs and TARIFF_FROM_MQTT.
    qint16 tariffFromCommand = 1;

    // Running screens refresh through these; RegisterPulse and the detector call them while their run goes on.
    std::function<void()> refreshTripDisplay;
    std::function<void()> refreshLoggingDisplay;
    // Told of every counted revolution (publishing, for one); they add and remove themselves.
    std::vector<PulseObserver*> pulseObservers;
};
