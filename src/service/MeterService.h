// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/StartupDialogs.h"
#include "metering/MeteringContext.h"

#include <functional>
#include <memory>

class LoggingEngine;
class MeterCamera;
class MeterReadingStore;
class PublishService;
class RegisterWatch;
class RemoteFindMark;
class RemotePicture;
class RunCommands;
class TripEngine;
class WebPage;

// What runs the meter, with or without a screen: the application context, the trip and logging engines, the
// meter reading, publishing and its commands, the camera, resuming a run, and the start-up sequence. The
// headless program runs it as it is; the desktop program's shell derives from it and adds its windows through
// the hooks below.
class MeterService
{
public:
    // Headless: nothing waits for an answer (messages go to the log) and the camera Unattended Operation
    // starts at start-up is required.
    MeterService(Services services, const QString& workingFolder, bool headless);
    virtual ~MeterService();

    // The file paths from the working folder, then the start-up sequence. False after a fatal start-up error: the
    // caller then ends the process with failureStatus().
    bool start();
    // 2 when a headless start found no camera to start, otherwise 1.
    int failureStatus() const { return m_failureStatus; }
    int stage() const { return m_stage; }

    // Before the process ends on a signal: the rows not yet on disk are backed up, and a logging run stays
    // noted on disk so that the next start resumes it. Publishing says "offline" as the program is destroyed.
    void leaveRunForResume();
    // Reads the settings files again and applies them to publishing and the camera; the meter values follow
    // at the next minute, as after a change on a setup screen.
    void reloadSettings();
    // Called from the frame loop and the logging tick while they run: the program is not hung.
    std::function<void()> alive;

    MeteringContext& context() { return m_ctx; }
    MeterReadingStore& meterReading() { return *m_meterReading; }
    MeterCamera& meterCamera() { return *m_meterCamera; }
    RegisterWatch& registerWatch() { return *m_registerWatch; }
    // Once started.
    TripEngine& tripEngine() { return *m_tripEngine; }
    WebPage& webPage() { return *m_webPage; }
    LoggingEngine& loggingEngine() { return *m_loggingEngine; }

protected:
    // Sizes the data array and puts the trip and logging into their stopped, cleared state, creating their
    // engines. Every start-up step of the metering side belongs here.
    virtual void prepareMetering();
    // The desktop's hooks into start-up: the engines exist (their screens join them), the program is ready to
    // be seen, the remembered camera is about to start, a logging run was resumed.
    virtual void enginesReady() {}
    virtual void showProgram() {}
    virtual void cameraStarting() {}
    virtual void loggingResumed() {}

    bool headless() const { return m_headless; }
    PublishService& publishService() { return *m_publishService; }
    void feedAlive() const;

private:
    void connectMeterCamera();
    // Notes each logging run on disk while resuming is switched on.
    void noteLoggingRuns();
    // START_CAMERA_AT_STARTUP and RESUME_LOGGING_AFTER_RESTART: the last steps of start-up, which need no one
    // at the keyboard. What went wrong is told after start-up, so nothing waits for an answer.
    // Headless, false when the camera could not be started; a remembered camera not plugged in is awaited.
    bool startUnattended();
    // Headless: the remembered camera with its start at start-up on, and a remembered video file there; otherwise
    // says what is missing.
    bool cameraToStart();
    // Reads the meter reading's file; what was damaged is told after start-up.
    void loadMeterReading();
    // The commands over MQTT for the trip, logging, Find Mark and the picture, and the web page, once the engines
    // exist.
    void addRemoteControl();

    // Every message of the program passes here, so that none at start-up waits when it runs unattended.
    StartupDialogs m_dialogs;
    MeteringContext m_ctx;
    QString m_workingFolder;
    bool m_headless;
    int m_stage = 0;
    int m_failureStatus = 1;

    std::unique_ptr<TripEngine> m_tripEngine;
    std::unique_ptr<LoggingEngine> m_loggingEngine;
    std::unique_ptr<MeterReadingStore> m_meterReading;
    std::unique_ptr<PublishService> m_publishService;
    std::unique_ptr<MeterCamera> m_meterCamera;
    std::unique_ptr<RegisterWatch> m_registerWatch;
    std::unique_ptr<RunCommands> m_runCommands;
    std::unique_ptr<RemoteFindMark> m_remoteFindMark;
    std::unique_ptr<RemotePicture> m_remotePicture;
    std::unique_ptr<WebPage> m_webPage;
};
