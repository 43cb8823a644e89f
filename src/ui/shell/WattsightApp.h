// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "service/MeterService.h"
#include "ui/shell/SplashForm.h"

#include <QPointer>
#include <QString>
#include <memory>
#include <optional>

class MainWindow;
struct DesktopServices;

// The desktop's real services, held in a base so that they outlive the meter service built on them.
struct DesktopServicesHolder
{
    explicit DesktopServicesHolder(std::unique_ptr<DesktopServices> services);
    ~DesktopServicesHolder();
    std::unique_ptr<DesktopServices> real;
};

#ifdef WATTSIGHT_DEBUG_MENU
inline constexpr bool DebugMenuBuildSwitch = true;
#else
inline constexpr bool DebugMenuBuildSwitch = false;
#endif

// The desktop program: the meter service with the main window, its screens, the splash and message boxes on
// top. The composition root of the desktop.
//
// How to add a screen:
//  - Opened from a menu and made on demand: one line in registerScreens(), e.g.
//        m_window->addModelessScreen(MenuItem::EnergyMeterSetup, [this] { return new EnergyMeterSetupForm(ctx); });
//    (addModalScreen for modal ones). Registering enables the menu item.
//  - An engine that runs without a screen too: in MeterService, created in its prepareMetering().
//  - A screen that lives from start-up to exit (trip, logging): create it in enginesReady() and hand it over with
//    m_window->addPersistentScreen(MenuItem::EnergyTripForm, screen); start-up hides it later.
class WattsightApp : private DesktopServicesHolder, public MeterService
{
public:
    struct Options
    {
        bool debugMenu = DebugMenuBuildSwitch;
        QString helpFolder; // empty: HelpViewer::folderFor() the executable's folder
    };

    // The real services, with message boxes; files in the data folder.
    WattsightApp(const QString& workingFolder, Options options);
    // Given services and data folder (tests).
    WattsightApp(Services services, const QString& workingFolder, Options options);
    ~WattsightApp() override;

    // Splash and the 4-second pause, then the meter service's start-up. False after a fatal start-up error: the
    // caller then ends the process with failureStatus().
    bool Main();

    MainWindow& window() { return *m_window; }
    SplashForm* splash() const { return m_splash.data(); }

protected:
    void enginesReady() override;
    void showProgram() override;
    void cameraStarting() override;
    void loggingResumed() override;

private:
    void buildWindow();
    void registerScreens();

    Options m_options;
    std::unique_ptr<MainWindow> m_window;
    QPointer<SplashForm> m_splash;
};
