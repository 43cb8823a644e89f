// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/MeterCamera.h"

#include "app/ConfigFiles.h"
#include "app/DetectorSettings.h"
#include "app/Dialogs.h"
#include "app/SettingsFile.h"
#include "app/TextFormat.h"
#include "app/UnattendedSettings.h"
#include "camera/CameraConfiguration.h"
#include "camera/MarkDetector.h"
#include "capture/CameraHealthWatch.h"
#include "capture/CaptureComponent.h"
#include "capture/FindMarkSession.h"
#include "metering/MeteringContext.h"
#include "unattended/DeviceList.h"

namespace {
SimulatedMeterSettings rememberedSimulatedMeter(const GlobalSettings& s, SimulatedMeterSettings meter)
{
    meter.powerWatts = s.SIMULATED_POWER_WATTS;
    meter.revsPerKWh = s.SIMULATED_REVS_PER_KWH;
    meter.noise = s.SIMULATED_NOISE;
    meter.drift = s.SIMULATED_LIGHT_DRIFT_PERCENT / 100.0;
    meter.markWidth = s.SIMULATED_MARK_WIDTH_PERCENT / 100.0;
    meter.flicker = s.SIMULATED_FLICKER;
    return meter;
}

void rememberSimulatedMeter(GlobalSettings& s, const SimulatedMeterSettings& meter)
{
    // Whole numbers in the file: the meter's dialog offers finer steps than a start-up needs.
    auto whole = [](double value) { return static_cast<qint32>(TextFormat::roundHalfEven(value)); };
    s.SIMULATED_POWER_WATTS = whole(meter.powerWatts);
    s.SIMULATED_REVS_PER_KWH = whole(meter.revsPerKWh);
    s.SIMULATED_NOISE = whole(meter.noise);
    s.SIMULATED_LIGHT_DRIFT_PERCENT = whole(meter.drift * 100.0);
    s.SIMULATED_MARK_WIDTH_PERCENT = whole(meter.markWidth * 100.0);
    s.SIMULATED_FLICKER = meter.flicker;
}
} // namespace

MeterCamera::MeterCamera(MeteringContext& ctx, CameraDevices* cameras, QObject* parent)
    : QObject(parent), m_ctx(ctx),
      m_capture(cameras ? std::make_unique<CaptureComponent>(ctx.services.clock, ctx.services.dialogs, *cameras)
                        : std::make_unique<CaptureComponent>(ctx.services.clock, ctx.services.dialogs)),
      m_detector(std::make_unique<MarkDetector>(ctx, *m_capture))
{
    m_capture->meterConstant = [this] { return m_ctx.settings.REVS_PER_KWH; };
    m_healthWatch = new CameraHealthWatch(
        m_ctx, *m_capture, [this] { restart(); }, this);
    connect(m_capture.get(), &VideoCapture::frameAnalysed, this, [this] { m_detector->onFrameAnalysed(); });
    connect(m_capture.get(), &VideoCapture::deviceAddedOrRemoved, this, &MeterCamera::onDeviceAddedOrRemoved);
    connect(m_capture.get(), &VideoCapture::deviceLost, this, &MeterCamera::onDeviceLost);
    connect(m_capture.get(), &VideoCapture::liveVideoRestarted, this, [this] { m_detector->camera_just_starting(); });
    m_detector->displayChanged = [this] { emit detectionChanged(); };
    m_detector->reloadSettingFields = [this] { emit settingFieldsChanged(); };
    m_detector->intensityMeasured = [this](qint32 v) { emit intensityMeasured(v); };
}

MeterCamera::~MeterCamera()
{
    // The session works on the component, which goes first otherwise.
    delete m_findMarkSession.data();
    m_detector->displayChanged = nullptr;
    m_detector->reloadSettingFields = nullptr;
    m_detector->intensityMeasured = nullptr;
}

bool MeterCamera::running() const
{
    return is_camera_running(*m_capture);
}

QString MeterCamera::applySettings()
{
    const QString gridText = setup_camera_control(m_ctx, *m_capture);
    m_detector->reset_mark_detection();
    emit settingsApplied();
    return gridText;
}

void MeterCamera::reloadSimulatedMeter()
{
    if (running() && m_capture->deviceIndex() == m_capture->simulatedMeterIndex())
        m_capture->setSimulatedMeterSettings(
            rememberedSimulatedMeter(m_ctx.settings, m_capture->simulatedMeterSettings()));
}

void MeterCamera::setRunning(bool running)
{
    m_ctx.blnGlobalCameraRunning = running;
    m_detector->setMeterSource(running ? m_capture->meterSource() : MeterSource{});
    m_healthWatch->cameraRunningChanged(running);
    emit runningChanged(running);
}

void MeterCamera::confirmRunningState()
{
    setRunning(running());
}

void MeterCamera::showSimulatedRegister()
{
    SimulatedMeterSettings meter = m_capture->simulatedMeterSettings();
    if (m_capture->kind() != CaptureComponent::Kind::Simulated || (meter.registerShown && !m_simulatedRegister))
        return;
    if (!m_simulatedRegister) {
        // The same meter from one program start to the next: it went on turning, at 1 kW on average, since the
        // start of 2026, as a real one goes on while the program is off.
        const QDateTime since(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
        m_simulatedRegister = 4000.0 + double(since.secsTo(m_ctx.services.clock.now())) / 3600.0;
    }
    meter.registerShown = true;
    meter.registerKWh = *m_simulatedRegister;
    m_capture->setSimulatedMeterSettings(meter);
}

void MeterCamera::keepSimulatedRegister()
{
    // The simulated disc starts again from its first turn at the next start: its register goes on from here.
    if (m_simulatedRegister && m_capture->kind() == CaptureComponent::Kind::Simulated)
        m_simulatedRegister =
            SimulatedMeter(m_capture->simulatedMeterSettings()).registerReadingAt(m_capture->simulatedSeconds());
}

void MeterCamera::start()
{
    showSimulatedRegister();
    setup_camera_control(m_ctx, *m_capture);
    m_detector->camera_just_starting();
    m_capture->startLiveVideo();
    setRunning(running());
    if (m_ctx.blnGlobalCameraRunning) {
        m_startedCamera = currentChoice();
        m_lostCamera.reset();
        rememberCamera();
    }
    // The component may have been given the factory grid: the detector watches what the settings say now.
    if (!parse_grid_string(m_ctx.settings.DETECTION_GRID, m_detector->varActiveCells()))
        m_ctx.services.dialogs.message(MarkDetector::NoCellsActive);
}

void MeterCamera::stop()
{
    if (running())
        keepSimulatedRegister();
    m_capture->stop();
    setRunning(running());
}

void MeterCamera::restart()
{
    stop();
    if (m_lostCamera && m_capture->deviceIndex() == -1) {
        const int device = listItemIndex(m_capture->deviceList(), m_lostCamera->device);
        if (device < 0)
            return;
        m_capture->setDeviceIndex(device);
        selectFormats(*m_lostCamera);
    }
    start();
}

bool MeterCamera::selectRememberedCamera()
{
    const GlobalSettings& s = m_ctx.settings;
    if (!s.REMEMBER_CAMERA || running())
        return false;
    const int device = listItemIndex(m_capture->deviceList(), s.CAMERA_DEVICE);
    if (device < 0)
        return false;
    if (device == m_capture->simulatedMeterIndex())
        m_capture->setSimulatedMeterSettings(rememberedSimulatedMeter(s, m_capture->simulatedMeterSettings()));
    if (device == m_capture->videoFileIndex())
        m_capture->selectVideoFile(s.CAMERA_VIDEO_FILE);
    else
        m_capture->setDeviceIndex(device);
    selectFormats({s.CAMERA_DEVICE, s.CAMERA_VIDEO_SIZE, s.CAMERA_SUBTYPE});
    return true;
}

bool MeterCamera::startRememberedCamera()
{
    if (!running()) {
        if (m_capture->deviceIndex() == -1)
            selectRememberedCamera();
        if (m_capture->deviceIndex() == -1)
            return false;
        start();
    }
    return running();
}

bool MeterCamera::awaitRememberedCamera()
{
    const GlobalSettings& s = m_ctx.settings;
    if (!s.REMEMBER_CAMERA || s.CAMERA_DEVICE.isEmpty() || running() ||
        listItemIndex(m_capture->deviceList(), s.CAMERA_DEVICE) >= 0)
        return false;
    m_lostCamera = CameraChoice{s.CAMERA_DEVICE, s.CAMERA_VIDEO_SIZE, s.CAMERA_SUBTYPE};
    m_healthWatch->cameraLost(m_lostCamera->device, QStringLiteral("not plugged in at start-up"));
    return true;
}

void MeterCamera::selectFormats(const CameraChoice& choice)
{
    if (const int size = listItemIndex(m_capture->sizeList(), choice.size); size >= 0)
        m_capture->setSizeIndex(size);
    if (const int subtype = listItemIndex(m_capture->subtypeList(), choice.subtype); subtype >= 0)
        m_capture->setSubtypeIndex(subtype);
}

MeterCamera::CameraChoice MeterCamera::currentChoice() const
{
    return {m_capture->deviceName(), listItemAt(m_capture->sizeList(), m_capture->sizeIndex()),
            listItemAt(m_capture->subtypeList(), m_capture->subtypeIndex())};
}

void MeterCamera::rememberCamera()
{
    GlobalSettings& s = m_ctx.settings;
    if (!s.REMEMBER_CAMERA)
        return;
    const GlobalSettings before = s;
    const CameraChoice started = currentChoice();
    s.CAMERA_DEVICE = started.device;
    s.CAMERA_VIDEO_SIZE = started.size;
    s.CAMERA_SUBTYPE = started.subtype;
    if (m_capture->deviceIndex() == m_capture->videoFileIndex())
        s.CAMERA_VIDEO_FILE = m_capture->videoFilePath();
    if (m_capture->deviceIndex() == m_capture->simulatedMeterIndex())
        rememberSimulatedMeter(s, m_capture->simulatedMeterSettings());
    // State, not a choice: it goes to the file at once, without Save (a watchdog restart changes nothing).
    if (s == before)
        return;
    const QString error = SaveUnattendedSettings(m_ctx);
    if (!error.isEmpty())
        m_ctx.services.dialogs.message(QStringLiteral("Problem saving unattended settings: ") + error);
}

void MeterCamera::onDeviceAddedOrRemoved(bool added, bool isVideo, const QString& name)
{
    if (!added && !running())
        setRunning(false);
    if (isVideo)
        emit deviceListChanged();
    if (added && isVideo && m_lostCamera && name == m_lostCamera->device && !running())
        restart();
}

void MeterCamera::onDeviceLost(const QString& reason)
{
    if (!running())
        setRunning(false);
    if (RunsUnattended(m_ctx.settings) && m_startedCamera) {
        if (!running()) {
            m_lostCamera = m_startedCamera;
            m_healthWatch->cameraLost(m_lostCamera->device, reason);
        }
        return;
    }
    const QString lost = QStringLiteral("CAMERA DEVICE LOST!");
    m_ctx.services.dialogs.message(reason.isEmpty() ? lost : lost + QStringLiteral("\n\n") + reason);
}

QStringList MeterCamera::saveDetectionSettings()
{
    QStringList problems;
    if (const QString error = SaveCameraSettings(m_ctx); !error.isEmpty())
        problems << QStringLiteral("Problem saving settings: ") + error;
    // The detector's own file goes with the camera settings.
    if (const QString error = SaveSettingsFile(m_ctx, DetectorSettingsFile()); !error.isEmpty())
        problems << SettingsFileSaveProblem(DetectorSettingsFile()) + error;
    return problems;
}

QString MeterCamera::startFindMark()
{
    if (!running())
        return QStringLiteral("the camera is not running; Find Mark watches the running camera");
    if (m_findMarkSession)
        return QStringLiteral("Find Mark is watching already");
    m_findMarkSession = new FindMarkSession(m_ctx, *m_capture, this);
    connect(m_findMarkSession.data(), &FindMarkSession::finished, this, [this](bool accepted) {
        if (accepted)
            applySettings();
        m_findMarkSession->deleteLater();
        m_findMarkSession.clear();
    });
    emit findMarkStarted();
    return {};
}

FindMarkSession* MeterCamera::findMarkSession() const
{
    return m_findMarkSession.data();
}
