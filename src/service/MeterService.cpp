// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/MeterService.h"

#include "app/ConfigFiles.h"
#include "app/Dialogs.h"
#include "app/MeterSource.h"
#include "app/UnattendedSettings.h"
#include "camera/MarkDetector.h"
#include "capture/CameraHealthWatch.h"
#include "capture/CaptureComponent.h"
#include "capture/MeterCamera.h"
#include "capture/RegisterWatch.h"
#include "metering/LogEvent.h"
#include "metering/LoggingEngine.h"
#include "metering/MeterReadingStore.h"
#include "metering/PulseSignal.h"
#include "metering/RunTimer.h"
#include "metering/Tariffs.h"
#include "metering/TripEngine.h"
#include "publish/PublishService.h"
#include "publish/RemoteFindMark.h"
#include "publish/RemotePicture.h"
#include "publish/RunCommands.h"
#include "service/CommandLine.h"
#include "unattended/ResumeRun.h"
#include "unattended/RunMarker.h"
#include "web/WebPage.h"

#include <QFileInfo>
#include <QTimer>
#include <exception>

namespace {
Services withDialogs(const Services& s, Dialogs& dialogs)
{
    return Services{s.clock, s.pump, dialogs, s.files};
}
} // namespace

MeterService::MeterService(Services services, const QString& workingFolder, bool headless)
    : m_dialogs(services.dialogs), m_ctx(withDialogs(services, m_dialogs)), m_workingFolder(workingFolder),
      m_headless(headless)
{
    // The reading first: it is moved by a revolution before publishing counts it, so one state carries both.
    m_meterReading = std::make_unique<MeterReadingStore>(m_ctx);
    m_publishService = std::make_unique<PublishService>(m_ctx, *m_meterReading);
    m_meterCamera = std::make_unique<MeterCamera>(m_ctx);
    m_registerWatch = std::make_unique<RegisterWatch>(m_ctx, *m_meterCamera, *m_meterReading);
    connectMeterCamera();
}

MeterService::~MeterService() = default;

void MeterService::connectMeterCamera()
{
    MeterCamera& camera = *m_meterCamera;
    // The meter reading learns what the camera shows as it starts and stops.
    QObject::connect(&camera, &MeterCamera::runningChanged, m_meterReading.get(),
                     [this] { m_meterReading->setCameraSource(m_meterCamera->detector().meterSource()); });
    QObject::connect(&camera.capture(), &VideoCapture::frameAnalysed, &camera, [this] { feedAlive(); });
    // An unplugged camera is awaited, not a hang: restarting the program would not bring it back.
    QObject::connect(&camera.healthWatch(), &CameraHealthWatch::waitingForLostCamera, &camera, [this] { feedAlive(); });
}

void MeterService::prepareMetering()
{
    InitialiseDataArray(m_ctx);
    m_ctx.blnGlobalTripRunning = false;
    if (!m_tripEngine) {
        m_tripEngine = std::make_unique<TripEngine>(m_ctx);
        new RunTimer(*m_tripEngine);
    }
    m_tripEngine->StopTrip();
    m_tripEngine->ResetTrip();
    m_ctx.blnGlobalLoggingRunning = false;
    if (!m_loggingEngine) {
        m_loggingEngine = std::make_unique<LoggingEngine>(m_ctx);
        new RunTimer(*m_loggingEngine);
        QObject::connect(m_loggingEngine.get(), &LoggingEngine::ticked, m_loggingEngine.get(), [this] { feedAlive(); });
        noteLoggingRuns();
    }
    m_loggingEngine->StopLogging();
    m_loggingEngine->ResetLogging();
}

void MeterService::noteLoggingRuns()
{
    auto report = [this](const QString& error) {
        if (!error.isEmpty())
            m_ctx.services.dialogs.message(QStringLiteral("Problem noting the logging run on disk: ") + error);
    };
    QObject::connect(m_loggingEngine.get(), &LoggingEngine::runStarted, m_loggingEngine.get(),
                     [this, report](const QDateTime& start) {
                         if (m_ctx.settings.RESUME_LOGGING_AFTER_RESTART)
                             report(RunMarker::noteRunStarted(m_ctx, start));
                     });
    QObject::connect(m_loggingEngine.get(), &LoggingEngine::runStopped, m_loggingEngine.get(),
                     [this, report] { report(RunMarker::noteRunStopped(m_ctx)); });
}

bool MeterService::startUnattended()
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
    cameraStarting();
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
        loggingResumed();
    if (!notes.isEmpty())
        m_ctx.services.dialogs.notice(notes, Dialogs::Icon::Exclamation);
    // A box's log says when the camera began, so a gap in the figures can be told from a camera that never ran.
    if (started && m_headless)
        m_ctx.services.dialogs.notice(QStringLiteral("The camera \"%1\" started.").arg(s.CAMERA_DEVICE),
                                      Dialogs::Icon::Information);
    return started || awaited || !m_headless;
}

bool MeterService::cameraToStart()
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

void MeterService::feedAlive() const
{
    if (alive)
        alive();
}

void MeterService::leaveRunForResume()
{
    // Without the Stop button the run marker stays, and what was logged since the last backup is on disk.
    if (m_ctx.blnGlobalLoggingRunning)
        m_loggingEngine->DoWriteDiskBackup(false);
}

void MeterService::reloadSettings()
{
    LoadAllSettings(m_ctx);
    m_publishService->applySettings();
    m_meterCamera->applySettings();
    m_meterCamera->reloadSimulatedMeter();
    m_ctx.services.dialogs.notice(QStringLiteral("The settings files were read again."), Dialogs::Icon::Information);
}

void MeterService::loadMeterReading()
{
    const QString damage = m_meterReading->load();
    if (!damage.isEmpty())
        QTimer::singleShot(0, m_meterReading.get(), [this, damage] {
            m_ctx.services.dialogs.message(damage, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        });
}

void MeterService::addRemoteControl()
{
    if (m_runCommands)
        return;
    m_runCommands = std::make_unique<RunCommands>(*m_publishService, *m_tripEngine, *m_loggingEngine);
    m_remoteFindMark = std::make_unique<RemoteFindMark>(*m_publishService, *m_meterCamera);
    m_remotePicture = std::make_unique<RemotePicture>(*m_publishService, *m_meterCamera);
    m_publishService->watchRegister(*m_registerWatch);
    // It follows the publishing settings, which it shares a file with, from the first time they are applied.
    m_webPage = std::make_unique<WebPage>(m_ctx, *m_publishService, *m_meterCamera, *m_tripEngine);
}

bool MeterService::start()
{
    m_ctx.paths = BuildFilePaths(m_workingFolder);
    m_dialogs.beginStartup();
    try {
        m_stage = 1;
        MakeDefaultSettingsFiles(m_ctx);
        LoadAllSettings(m_ctx);
        m_dialogs.knowUnattended(m_headless || RunsUnattended(m_ctx.settings));
        if (m_headless && !cameraToStart()) {
            m_failureStatus = CommandLine::UsageStatus;
            m_dialogs.endStartup();
            return false;
        }
        if (const QString problem = LoadTariffState(m_ctx); !problem.isEmpty())
            m_ctx.services.dialogs.message(problem, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        prepareMetering();
        enginesReady();
        addRemoteControl();
        m_ctx.blnGlobalCameraRunning = false;
        LoadWorkingMeterValues(m_ctx);
        ResetWorkingValues(m_ctx);
        loadMeterReading();
        m_publishService->applySettings();
        // Counting goes on without the page: what keeps it from being served is told, not fatal. The log has it
        // already; the desktop says it in a box too.
        if (const QString problem = WebPage::settingsProblem(m_ctx.settings); !problem.isEmpty() && !m_headless)
            m_ctx.services.dialogs.message(QStringLiteral("The web page is not served: ") + problem +
                                               QStringLiteral(" (Setup, Publishing Setup, or [Web Page] in "
                                                              "PUBLISHSETTINGS.CFG)."),
                                           Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        showProgram();
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
