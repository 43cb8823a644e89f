// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/WattsightApp.h"

#include "app/Clock.h"
#include "app/ConfigFiles.h"
#include "app/DelayTenths.h"
#include "app/Dialogs.h"
#include "app/EventPump.h"
#include "app/FileIo.h"
#include "app/LoggedDialogs.h"
#include "app/MeterSource.h"
#include "app/UnattendedSettings.h"
#include "camera/MarkDetector.h"
#include "capture/CameraHealthWatch.h"
#include "capture/CaptureComponent.h"
#include "capture/MeterCamera.h"
#include "metering/LogEvent.h"
#include "metering/LoggingEngine.h"
#include "metering/MeterReadingStore.h"
#include "metering/PulseSignal.h"
#include "metering/Tariffs.h"
#include "metering/TripEngine.h"
#include "publish/PublishService.h"
#include "publish/RemoteFindMark.h"
#include "publish/RemotePicture.h"
#include "publish/RunCommands.h"
#include "service/CommandLine.h"
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
#include "ui/shell/SplashForm.h"
#include "unattended/ResumeRun.h"
#include "unattended/RunMarker.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <exception>

struct WattsightApp::RealServices
{
    explicit RealServices(bool headless) : dialogs(headless ? static_cast<Dialogs&>(logged) : boxes) {}

    SystemClock clock;
    QtEventPump pump;
    QtDialogs boxes;
    LoggedDialogs logged;
    Dialogs& dialogs;
    DiskFileIo files;

    Services services() { return Services{clock, pump, dialogs, files}; }
};

namespace {
Services withDialogs(const Services& s, Dialogs& dialogs)
{
    return Services{s.clock, s.pump, dialogs, s.files};
}
} // namespace

WattsightApp::WattsightApp(const QString& workingFolder, Options options)
    : WattsightApp(std::make_unique<RealServices>(options.headless), std::nullopt, workingFolder, options)
{
}

WattsightApp::WattsightApp(Services services, const QString& workingFolder, Options options)
    : WattsightApp(nullptr, services, workingFolder, std::move(options))
{
}

WattsightApp::WattsightApp(std::unique_ptr<RealServices> real, std::optional<Services> injected,
                           const QString& workingFolder, Options options)
    : m_real(std::move(real)), m_dialogs(m_real ? m_real->dialogs : injected->dialogs),
      m_ctx(withDialogs(m_real ? m_real->services() : *injected, m_dialogs)), m_workingFolder(workingFolder),
      m_options(std::move(options))
{
    if (m_options.helpFolder.isEmpty())
        m_options.helpFolder = HelpViewer::folderFor(QCoreApplication::applicationDirPath());
    m_window = std::make_unique<MainWindow>(m_ctx, m_options.helpFolder);
    m_window->endProcess = [] { QCoreApplication::exit(0); };
    if (m_real)
        m_real->boxes.setParentWidget(m_window.get());
    // The reading first: it is moved by a revolution before publishing counts it, so one state carries both.
    m_meterReading = std::make_unique<MeterReadingStore>(m_ctx);
    m_publishService = std::make_unique<PublishService>(m_ctx, *m_meterReading);
    m_meterCamera = std::make_unique<MeterCamera>(m_ctx);
    connectMeterCamera();
    m_window->factoryDefaultsLoaded = [this] { m_publishService->applySettings(); };
    registerScreens();
}

WattsightApp::~WattsightApp()
{
    delete m_splash.data();
}

void WattsightApp::registerScreens()
{
    // Screens opened from the menus are registered here as their developers add them.
    m_window->addModelessScreen(MenuItem::LoadPreviousRunData, [this] { return new ImportRunData(m_ctx); });
    m_window->addModalScreen(MenuItem::ExportData, [this] { return new ExportForm(m_ctx); });
    m_window->addModalScreen(MenuItem::ImportData, [this] { return new ImportForm(m_ctx); });
    m_window->addModelessScreen(MenuItem::DisplayEnergyHistoryGraph, [this] { return new GraphForm(m_ctx); });
    m_window->addModelessScreen(MenuItem::FillArray, [this] { return new DebugFillArray(m_ctx); });
    m_window->addModelessScreen(MenuItem::PulseSimulator, [this] { return new DebugForm(m_ctx); });
    m_window->addModelessScreen(MenuItem::TripScreenVariables, [this] { return VariableViewerForm::forTrip(m_ctx); });
    m_window->addModelessScreen(MenuItem::ViewLoggingScreenVariables,
                                [this] { return VariableViewerForm::forLogging(m_ctx); });
    m_window->addModelessScreen(MenuItem::EnergyMeterSetup, [this] { return new EnergyMeterSetupForm(m_ctx); });
    m_window->addModelessScreen(MenuItem::DataLoggingSetup, [this] { return new DataLoggingSetupForm(m_ctx); });
    m_window->addModelessScreen(MenuItem::AdvancedSettings, [this] { return new AdvancedSettingsSetupForm(m_ctx); });
    m_window->addModelessScreen(MenuItem::PublishingSetup,
                                [this] { return new PublishingSetupForm(m_ctx, *m_publishService); });
    m_window->addModelessScreen(MenuItem::MeterReading,
                                [this] { return new MeterReadingForm(m_ctx, *m_meterReading); });
    m_window->addModelessScreen(MenuItem::TariffSetup, [this] { return new TariffSetupForm(m_ctx); });
    m_window->addModelessScreen(MenuItem::UnattendedOperation, [this] { return new UnattendedSetupForm(m_ctx); });
    m_window->addModelessScreen(MenuItem::CameraSetup, [this] { return new CameraForm(m_ctx, *m_meterCamera); });
}

void WattsightApp::connectMeterCamera()
{
    MeterCamera& camera = *m_meterCamera;
    QObject::connect(&camera, &MeterCamera::runningChanged, m_meterReading.get(),
                     [this] { m_meterReading->setCameraSource(m_meterCamera->detector().meterSource()); });
    QObject::connect(&camera.capture(), &VideoCapture::frameAnalysed, &camera, [this] { feedAlive(); });
    // An unplugged camera is awaited, not a hang: restarting the program would not bring it back.
    QObject::connect(&camera.healthWatch(), &CameraHealthWatch::waitingForLostCamera, &camera, [this] { feedAlive(); });
}

bool WattsightApp::Main()
{
    m_ctx.paths = BuildFilePaths(m_workingFolder);
    if (m_options.headless)
        return StartApplication();

    m_splash = new SplashForm;
    m_splash->show();

    DelayTenths(m_ctx.services.clock, m_ctx.services.pump, 40);
    m_ctx.services.pump.processEvents();
    return StartApplication();
}

void WattsightApp::prepareMetering()
{
    InitialiseDataArray(m_ctx);
    m_ctx.blnGlobalTripRunning = false;
    if (!m_tripEngine) {
        m_tripEngine = std::make_unique<TripEngine>(m_ctx);
        m_window->addPersistentScreen(MenuItem::EnergyTripForm, new TripForm(*m_tripEngine));
    }
    m_tripEngine->StopTrip();
    m_tripEngine->ResetTrip();
    m_ctx.blnGlobalLoggingRunning = false;
    if (!m_loggingEngine) {
        m_loggingEngine = std::make_unique<LoggingEngine>(m_ctx);
        m_window->addPersistentScreen(MenuItem::EnergyLoggingForm, new LoggingForm(*m_loggingEngine));
        QObject::connect(m_loggingEngine.get(), &LoggingEngine::ticked, m_window.get(), [this] { feedAlive(); });
        noteLoggingRuns();
    }
    m_loggingEngine->StopLogging();
    m_loggingEngine->ResetLogging();
}

void WattsightApp::noteLoggingRuns()
{
    auto report = [this](const QString& error) {
        if (!error.isEmpty())
            m_ctx.services.dialogs.message(QStringLiteral("Problem noting the logging run on disk: ") + error);
    };
    QObject::connect(m_loggingEngine.get(), &LoggingEngine::runStarted, m_window.get(),
                     [this, report](const QDateTime& start) {
                         if (m_ctx.settings.RESUME_LOGGING_AFTER_RESTART)
                             report(RunMarker::noteRunStarted(m_ctx, start));
                     });
    QObject::connect(m_loggingEngine.get(), &LoggingEngine::runStopped, m_window.get(),
                     [this, report] { report(RunMarker::noteRunStopped(m_ctx)); });
}

bool WattsightApp::startUnattended()
{
    const GlobalSettings& s = m_ctx.settings;
    const std::optional<RunMarker::UnfinishedRun> unfinished =
        s.RESUME_LOGGING_AFTER_RESTART ? RunMarker::unfinishedRun(m_ctx) : std::nullopt;
    if (!s.START_CAMERA_AT_STARTUP && !unfinished)
        return true;
    QString notes;
    bool resumed = false;
    // Logging first: a message the camera start may show must not hold it up.
    if (unfinished) {
        const ResumeOutcome outcome = resume_logging_run(m_ctx, *m_loggingEngine, *unfinished);
        notes += outcome.message;
        resumed = outcome.resumed;
    }
    // At the desk the screen that shows the camera opens with it.
    if (!m_options.headless)
        m_window->openScreen(MenuItem::CameraSetup);
    const bool started = m_meterCamera->startRememberedCamera();
    // A camera not plugged in yet (a box booting before its USB camera is ready) is awaited like one unplugged
    // while running; ending instead would only have the service restarted again and again.
    const bool awaited = !started && m_meterCamera->awaitRememberedCamera();
    if (awaited)
        notes += QStringLiteral("The remembered camera \"%1\" is not plugged in; it will be started when it is.\r\n")
                     .arg(s.CAMERA_DEVICE);
    else if (!started)
        notes += s.CAMERA_DEVICE.isEmpty()
                     ? QStringLiteral("No camera is remembered yet, so none was started. Start one once from "
                                      "Camera Setup and it will be started from then on.\r\n")
                     : QStringLiteral("The remembered camera \"%1\" could not be started.\r\n").arg(s.CAMERA_DEVICE);
    if (resumed)
        m_window->openScreen(MenuItem::EnergyLoggingForm);
    if (!notes.isEmpty())
        m_ctx.services.dialogs.notice(notes, Dialogs::Icon::Exclamation);
    return started || awaited || !m_options.headless;
}

bool WattsightApp::cameraToStart()
{
    const GlobalSettings& s = m_ctx.settings;
    QString missing;
    if (!s.START_CAMERA_AT_STARTUP || s.CAMERA_DEVICE.isEmpty())
        missing = QStringLiteral("--headless starts the camera that Unattended Operation remembers, with \"Start the "
                                 "camera at start-up\" on. Start the camera once in the desktop program in this data "
                                 "folder and switch that option on.");
    // Unlike a camera, a recording does not turn up by waiting, and a restart would not find it either.
    else if (s.CAMERA_DEVICE == MeterSource::VideoFileDevice && !QFileInfo(s.CAMERA_VIDEO_FILE).isFile())
        missing = QStringLiteral("the remembered video file \"%1\" does not exist.").arg(s.CAMERA_VIDEO_FILE);
    if (missing.isEmpty())
        return true;
    m_ctx.services.dialogs.message(QStringLiteral("No camera to start: ") + missing, Dialogs::Buttons::Ok,
                                   Dialogs::Icon::Exclamation);
    return false;
}

void WattsightApp::feedAlive() const
{
    if (alive)
        alive();
}

void WattsightApp::leaveRunForResume()
{
    // Without the Stop button the run marker stays, and what was logged since the last backup is on disk.
    if (m_ctx.blnGlobalLoggingRunning)
        m_loggingEngine->DoWriteDiskBackup(false);
}

void WattsightApp::reloadSettings()
{
    LoadAllSettings(m_ctx);
    m_publishService->applySettings();
    m_meterCamera->applySettings();
    m_ctx.services.dialogs.notice(QStringLiteral("The settings files were read again."), Dialogs::Icon::Information);
}

void WattsightApp::loadMeterReading()
{
    const QString damage = m_meterReading->load();
    if (!damage.isEmpty())
        QTimer::singleShot(0, m_window.get(), [this, damage] {
            m_ctx.services.dialogs.message(damage, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        });
}

void WattsightApp::addRemoteControl()
{
    if (m_runCommands)
        return;
    m_runCommands = std::make_unique<RunCommands>(*m_publishService, *m_tripEngine, *m_loggingEngine);
    m_remoteFindMark = std::make_unique<RemoteFindMark>(*m_publishService, *m_meterCamera);
    m_remotePicture = std::make_unique<RemotePicture>(*m_publishService, *m_meterCamera);
}

bool WattsightApp::StartApplication()
{
    m_dialogs.beginStartup();
    try {
        m_stage = 1;
        MakeDefaultSettingsFiles(m_ctx);
        LoadAllSettings(m_ctx);
        m_dialogs.knowUnattended(m_options.headless || RunsUnattended(m_ctx.settings));
        if (m_options.headless && !cameraToStart()) {
            m_failureStatus = CommandLine::UsageStatus;
            m_dialogs.endStartup();
            return false;
        }
        if (const QString problem = LoadTariffState(m_ctx); !problem.isEmpty())
            m_ctx.services.dialogs.message(problem, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        prepareMetering();
        addRemoteControl();
        m_ctx.blnGlobalCameraRunning = false;
        LoadWorkingMeterValues(m_ctx);
        m_window->setWindowTitle(ProductInfo::ApplicationTitle);
        m_window->setDebugMenuVisible(m_options.debugMenu);
        ResetWorkingValues(m_ctx);
        loadMeterReading();
        m_publishService->applySettings();
        if (!m_options.headless)
            m_window->show();
        // The splash outlives the pause and must not disappear behind the window that opens under it.
        if (m_splash)
            m_splash->raise();
        m_window->hideScreen(MenuItem::EnergyLoggingForm);
        m_window->hideScreen(MenuItem::EnergyTripForm);
        const bool cameraStarted = startUnattended();
        m_dialogs.endStartup();
        m_stage = 9;
        return cameraStarted;
    } catch (const std::exception& error) {
        m_ctx.services.dialogs.message(QStringLiteral("Unexpected Fatal Error stage %1:\r\n").arg(m_stage) +
                                       QString::fromLocal8Bit(error.what()));
    } catch (...) {
        m_ctx.services.dialogs.message(
            QStringLiteral("Unexpected Fatal Error stage %1:\r\nUnknown error").arg(m_stage));
    }
    m_dialogs.endStartup();
    return false;
}
