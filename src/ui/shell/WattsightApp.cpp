// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/WattsightApp.h"

#include "app/Clock.h"
#include "app/DelayTenths.h"
#include "app/EventPump.h"
#include "app/FileIo.h"
#include "metering/LoggingEngine.h"
#include "metering/TripEngine.h"
#include "publish/PublishService.h"
#include "ui/camera/CameraForm.h"
#include "ui/data/DebugFillArray.h"
#include "ui/data/ExportForm.h"
#include "ui/data/GraphForm.h"
#include "ui/data/ImportForm.h"
#include "ui/data/ImportRunData.h"
#include "ui/run/DebugForm.h"
#include "ui/run/LoggingForm.h"
#include "ui/run/TripForm.h"
#include "ui/run/VariableViewerForm.h"
#include "ui/setup/AdvancedSettingsSetupForm.h"
#include "ui/setup/DataLoggingSetupForm.h"
#include "ui/setup/EnergyMeterSetupForm.h"
#include "ui/setup/MeterReadingForm.h"
#include "ui/setup/PublishingSetupForm.h"
#include "ui/setup/TariffSetupForm.h"
#include "ui/setup/UnattendedSetupForm.h"
#include "ui/shell/HelpViewer.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/ProductInfo.h"
#include "ui/shell/QtDialogs.h"

#include <QCoreApplication>

struct DesktopServices
{
    SystemClock clock;
    QtEventPump pump;
    QtDialogs boxes;
    DiskFileIo files;

    Services services() { return Services{clock, pump, boxes, files}; }
};

DesktopServicesHolder::DesktopServicesHolder(std::unique_ptr<DesktopServices> services) : real(std::move(services)) {}

DesktopServicesHolder::~DesktopServicesHolder() = default;

WattsightApp::WattsightApp(const QString& workingFolder, Options options)
    : DesktopServicesHolder(std::make_unique<DesktopServices>()), MeterService(real->services(), workingFolder, false),
      m_options(std::move(options))
{
    buildWindow();
    real->boxes.setParentWidget(m_window.get());
}

WattsightApp::WattsightApp(Services services, const QString& workingFolder, Options options)
    : DesktopServicesHolder(nullptr), MeterService(services, workingFolder, false), m_options(std::move(options))
{
    buildWindow();
}

void WattsightApp::buildWindow()
{
    if (m_options.helpFolder.isEmpty())
        m_options.helpFolder = HelpViewer::folderFor(QCoreApplication::applicationDirPath());
    m_window = std::make_unique<MainWindow>(context(), m_options.helpFolder);
    m_window->endProcess = [] { QCoreApplication::exit(0); };
    m_window->factoryDefaultsLoaded = [this] { publishService().applySettings(); };
    registerScreens();
}

WattsightApp::~WattsightApp()
{
    delete m_splash.data();
}

void WattsightApp::registerScreens()
{
    // Screens opened from the menus are registered here as their developers add them.
    m_window->addModelessScreen(MenuItem::LoadPreviousRunData, [this] { return new ImportRunData(context()); });
    m_window->addModalScreen(MenuItem::ExportData, [this] { return new ExportForm(context()); });
    m_window->addModalScreen(MenuItem::ImportData, [this] { return new ImportForm(context()); });
    m_window->addModelessScreen(MenuItem::DisplayEnergyHistoryGraph, [this] { return new GraphForm(context()); });
    m_window->addModelessScreen(MenuItem::FillArray, [this] { return new DebugFillArray(context()); });
    m_window->addModelessScreen(MenuItem::PulseSimulator, [this] { return new DebugForm(context()); });
    m_window->addModelessScreen(MenuItem::TripScreenVariables,
                                [this] { return VariableViewerForm::forTrip(context()); });
    m_window->addModelessScreen(MenuItem::ViewLoggingScreenVariables,
                                [this] { return VariableViewerForm::forLogging(context()); });
    m_window->addModelessScreen(MenuItem::EnergyMeterSetup, [this] { return new EnergyMeterSetupForm(context()); });
    m_window->addModelessScreen(MenuItem::DataLoggingSetup, [this] { return new DataLoggingSetupForm(context()); });
    m_window->addModelessScreen(MenuItem::AdvancedSettings,
                                [this] { return new AdvancedSettingsSetupForm(context()); });
    m_window->addModelessScreen(MenuItem::PublishingSetup,
                                [this] { return new PublishingSetupForm(context(), publishService(), &webPage()); });
    m_window->addModelessScreen(MenuItem::MeterReading,
                                [this] { return new MeterReadingForm(context(), meterReading(), registerWatch()); });
    m_window->addModelessScreen(MenuItem::TariffSetup, [this] { return new TariffSetupForm(context()); });
    m_window->addModelessScreen(MenuItem::UnattendedOperation, [this] { return new UnattendedSetupForm(context()); });
    m_window->addModelessScreen(MenuItem::CameraSetup, [this] { return new CameraForm(context(), meterCamera()); });
}

bool WattsightApp::Main()
{
    m_splash = new SplashForm;
    m_splash->show();

    MeteringContext& ctx = context();
    DelayTenths(ctx.services.clock, ctx.services.pump, 40);
    ctx.services.pump.processEvents();
    return start();
}

void WattsightApp::enginesReady()
{
    if (m_window->screen(MenuItem::EnergyTripForm))
        return;
    m_window->addPersistentScreen(MenuItem::EnergyTripForm, new TripForm(tripEngine()));
    m_window->addPersistentScreen(MenuItem::EnergyLoggingForm, new LoggingForm(loggingEngine()));
}

void WattsightApp::showProgram()
{
    m_window->setWindowTitle(ProductInfo::ApplicationTitle);
    m_window->setDebugMenuVisible(m_options.debugMenu);
    m_window->show();
    // The splash outlives the pause and must not disappear behind the window that opens under it.
    if (m_splash)
        m_splash->raise();
    m_window->hideScreen(MenuItem::EnergyLoggingForm);
    m_window->hideScreen(MenuItem::EnergyTripForm);
}

void WattsightApp::cameraStarting()
{
    // At the desk the screen that shows the camera opens with it.
    m_window->openScreen(MenuItem::CameraSetup);
}

void WattsightApp::loggingResumed()
{
    m_window->openScreen(MenuItem::EnergyLoggingForm);
}
