// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/StartupDialogs.h"
#include "metering/MeteringContext.h"
#include "ui/shell/SplashForm.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class LoggingEngine;
class MeterCamera;
class MeterReadingStore;
class PublishService;
class RemoteFindMark;
class RemotePicture;
class RunCommands;
class MainWindow;
class TripEngine;

#ifdef WATTSIGHT_DEBUG_MENU
inline constexpr bool DebugMenuBuildSwitch = true;
#else
inline constexpr bool DebugMenuBuildSwitch = false;
#endif

// The composition root: owns the services, the one application context, the engines and the main window,
// and runs the start-up sequence.
//
// How to add a screen:
//  - Opened from a menu and made on demand: one line in registerScreens(), e.g.
//        m_window->addModelessScreen(MenuItem::EnergyMeterSetup, [this] { return new EnergyMeterSetupForm(m_ctx); });
//    (addModalScreen for modal ones). Registering enables the menu item.
//  - An engine: add a std::unique_ptr member in the "Engines" block below (declared before m_window, so
//    screens are destroyed before the engines they use) and create it in prepareMetering() when it must
//    exist from start-up, otherwise in registerScreens().
//  - A screen that lives from start-up to exit (trip, logging): create it in prepareMetering() and hand it
//    over with m_window->addPersistentScreen(MenuItem::EnergyTripForm, screen); start-up hides it later.
class WattsightApp
{
public:
    struct Options
    {
        bool debugMenu = DebugMenuBuildSwitch;
        QString helpFolder; // empty: HelpViewer::folderFor() the executable's folder
        // No window is shown and nothing waits for an answer: messages go to the log. The camera that
        // Unattended Operation starts at start-up is required.
        bool headless = false;
    };

    // The real services; files in the data folder.
    WattsightApp(const QString& workingFolder, Options options);
    // Given services and data folder (tests).
    WattsightApp(Services services, const QString& workingFolder, Options options);
    virtual ~WattsightApp();

    // Paths, splash, the 4-second pause (neither when headless), then StartApplication(). False after a fatal
    // start-up error: the caller then ends the process with failureStatus().
    bool Main();
    bool StartApplication();
    // 2 when a headless start found no camera to start, otherwise 1.
    int failureStatus() const { return m_failureStatus; }

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
    MainWindow& window() { return *m_window; }
    SplashForm* splash() const { return m_splash.data(); }
    int stage() const { return m_stage; }

protected:
    // Sizes the data array and puts the trip and logging into their stopped, cleared state, creating their
    // screens. Every start-up step of the metering side belongs here.
    virtual void prepareMetering();

private:
    struct RealServices;
    WattsightApp(std::unique_ptr<RealServices> real, std::optional<Services> injected, const QString& workingFolder,
                 Options options);
    void registerScreens();
    // Notes each logging run on disk while resuming is switched on.
    void noteLoggingRuns();
    // START_CAMERA_AT_STARTUP and RESUME_LOGGING_AFTER_RESTART: the last steps of start-up, which need no one
    // at the keyboard. What went wrong is told after start-up, so nothing waits for an answer.
    // Headless, false when the camera could not be started; a remembered camera not plugged in is awaited.
    bool startUnattended();
    // Headless: the remembered camera with its start at start-up on, and a remembered video file there; otherwise
    // says what is missing.
    bool cameraToStart();
    // The meter's camera tells the meter reading what it shows and the service manager that frames arrive.
    void connectMeterCamera();
    void feedAlive() const;
    // Reads the meter reading's file; what was damaged is told after start-up.
    void loadMeterReading();
    // The commands over MQTT for the trip, logging, Find Mark and the picture, once the engines exist.
    void addRemoteControl();

    std::unique_ptr<RealServices> m_real;
    // Every message of the program passes here, so that none at start-up waits when it runs unattended.
    StartupDialogs m_dialogs;
    MeteringContext m_ctx;
    QString m_workingFolder;
    Options m_options;
    int m_stage = 0;
    int m_failureStatus = 1;

    // Engines (created in prepareMetering() or registerScreens()).
    std::unique_ptr<TripEngine> m_tripEngine;
    std::unique_ptr<LoggingEngine> m_loggingEngine;
    std::unique_ptr<MeterReadingStore> m_meterReading;
    std::unique_ptr<MeterCamera> m_meterCamera;
    std::unique_ptr<PublishService> m_publishService;
    std::unique_ptr<RunCommands> m_runCommands;
    std::unique_ptr<RemoteFindMark> m_remoteFindMark;
    std::unique_ptr<RemotePicture> m_remotePicture;

    std::unique_ptr<MainWindow> m_window;
    QPointer<SplashForm> m_splash;
};
