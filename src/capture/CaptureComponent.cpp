// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/CaptureComponent.h"

#include "app/Clock.h"
#include "app/Dialogs.h"
#include "capture/CaptureWorker.h"
#include "capture/SystemCameraDevices.h"
#include "capture/VideoFileStream.h"

#include <algorithm>
#include <cmath>

namespace {
const QString Eol = QStringLiteral("\r\n");
const QList<QSize> SimulatedSizes{{160, 120}, {320, 240}, {640, 480}};
// Often enough for the eye; rarely while nobody looks, keeping the picture recent for those who ask for it.
constexpr int LiveViewIntervalMs = 100;
constexpr int UnseenPreviewIntervalMs = 1000;

QString listText(const QStringList& items)
{
    QString out;
    for (const QString& item : items)
        out += item + Eol;
    return out;
}
} // namespace

CaptureComponent::CaptureComponent(Clock& clock, Dialogs& dialogs, QObject* parent)
    : CaptureComponent(clock, dialogs, nullptr, std::make_unique<SystemCameraDevices>(), parent)
{
}

CaptureComponent::CaptureComponent(Clock& clock, Dialogs& dialogs, CameraDevices& cameras, QObject* parent)
    : CaptureComponent(clock, dialogs, &cameras, nullptr, parent)
{
}

CaptureComponent::CaptureComponent(Clock& clock, Dialogs& dialogs, CameraDevices* cameras,
                                   std::unique_ptr<CameraDevices> ownCameras, QObject* parent)
    : VideoCapture(parent), m_clock(clock), m_dialogs(dialogs), m_ownCameras(std::move(ownCameras)),
      m_cameraDevices(cameras ? *cameras : *m_ownCameras)
{
    qRegisterMetaType<CellTable>();
    qRegisterMetaType<AnalysedFrame>();
    m_monotonic.start();
    m_worker = new CaptureWorker(m_monotonic);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &CaptureWorker::analysed, this, &CaptureComponent::onFrameReady, Qt::QueuedConnection);
    m_thread.setObjectName(QStringLiteral("capture"));
    m_thread.start();

    m_cameras = m_cameraDevices.videoInputs();
    connect(&m_cameraDevices, &CameraDevices::videoInputsChanged, this, &CaptureComponent::refreshCameras);
    connect(&m_simTimer, &QTimer::timeout, this, &CaptureComponent::renderSimulatedFrame);
    m_simTimer.setTimerType(Qt::PreciseTimer);
    setDetectionGrid(QStringLiteral("5"));
    configurePreview();
}

CaptureComponent::~CaptureComponent()
{
    stop();
    m_thread.quit();
    m_thread.wait();
}

CaptureComponent::Kind CaptureComponent::kind() const
{
    if (m_deviceIndex < 0)
        return Kind::None;
    if (m_deviceIndex < m_cameras.size())
        return Kind::Camera;
    if (m_deviceIndex == simulatedMeterIndex())
        return Kind::Simulated;
    if (m_deviceIndex == videoFileIndex())
        return Kind::File;
    return Kind::None;
}

QString CaptureComponent::deviceList() const
{
    QStringList names;
    for (const CameraInfo& d : m_cameras)
        names << d.description;
    names << SimulatedMeterName << VideoFileName;
    return listText(names);
}

QString CaptureComponent::deviceName() const
{
    switch (kind()) {
    case Kind::Camera:
        return m_cameras[m_deviceIndex].description;
    case Kind::Simulated:
        return SimulatedMeterName;
    case Kind::File:
        return VideoFileName;
    case Kind::None:
        break;
    }
    return QString();
}

void CaptureComponent::setDeviceIndex(int index)
{
    selectDevice(index, true);
}

void CaptureComponent::selectVideoFile(const QString& path)
{
    m_videoFile = path;
    selectDevice(videoFileIndex(), false);
}

void CaptureComponent::selectDevice(int index, bool askForVideoFile)
{
    if (index < -1 || index > videoFileIndex())
        index = -1;
    if (is_camera_running(*this))
        stop();
    m_deviceIndex = index;
    m_sizeIndex = -1;
    m_subtypeIndex = -1;
    switch (kind()) {
    case Kind::Camera: {
        const QList<QSize> sizes = cameraSizes();
        const auto vga = std::find(sizes.begin(), sizes.end(), QSize(640, 480));
        m_sizeIndex = sizes.isEmpty() ? -1 : vga != sizes.end() ? int(vga - sizes.begin()) : 0;
        m_subtypeIndex = cameraSubtypes().isEmpty() ? -1 : 0;
        break;
    }
    case Kind::Simulated:
        m_sizeIndex = int(SimulatedSizes.indexOf(QSize(m_simSettings.width, m_simSettings.height)));
        if (m_sizeIndex < 0)
            m_sizeIndex = 1;
        m_subtypeIndex = 0;
        break;
    case Kind::File:
        m_sizeIndex = 0;
        m_subtypeIndex = 0;
        if (askForVideoFile)
            chooseVideoFile();
        break;
    case Kind::None:
        break;
    }
    grantRate();
    emit videoDeviceSelected();
}

QString CaptureComponent::inputList() const
{
    return m_deviceIndex < 0 ? QString() : listText({QStringLiteral("Video input")});
}

QString CaptureComponent::analogVideoStandardList() const
{
    return m_deviceIndex < 0 ? QString() : listText({QStringLiteral("None")});
}

QList<QSize> CaptureComponent::cameraSizes() const
{
    QList<QSize> sizes;
    if (kind() != Kind::Camera)
        return sizes;
    for (const CameraFormat& f : m_cameras[m_deviceIndex].formats)
        if (!sizes.contains(f.resolution))
            sizes << f.resolution;
    std::sort(sizes.begin(), sizes.end(), [](QSize a, QSize b) {
        return a.width() != b.width() ? a.width() < b.width() : a.height() < b.height();
    });
    return sizes;
}

QList<QVideoFrameFormat::PixelFormat> CaptureComponent::cameraSubtypes() const
{
    QList<QVideoFrameFormat::PixelFormat> formats;
    if (kind() != Kind::Camera)
        return formats;
    for (const CameraFormat& f : m_cameras[m_deviceIndex].formats)
        if (!formats.contains(f.pixelFormat))
            formats << f.pixelFormat;
    return formats;
}

QString CaptureComponent::sizeList() const
{
    QStringList items;
    switch (kind()) {
    case Kind::Camera:
        for (QSize s : cameraSizes())
            items << QStringLiteral("%1 x %2").arg(s.width()).arg(s.height());
        break;
    case Kind::Simulated:
        for (QSize s : SimulatedSizes)
            items << QStringLiteral("%1 x %2").arg(s.width()).arg(s.height());
        break;
    case Kind::File:
        items << QStringLiteral("As recorded");
        break;
    case Kind::None:
        break;
    }
    return listText(items);
}

QString CaptureComponent::subtypeList() const
{
    QStringList items;
    switch (kind()) {
    case Kind::Camera:
        for (QVideoFrameFormat::PixelFormat f : cameraSubtypes())
            items << QVideoFrameFormat::pixelFormatToString(f);
        break;
    case Kind::Simulated:
        items << QStringLiteral("RGB32");
        break;
    case Kind::File:
        items << QStringLiteral("As recorded");
        break;
    case Kind::None:
        break;
    }
    return listText(items);
}

void CaptureComponent::setSizeIndex(int index)
{
    const int count = int(sizeList().count(Eol));
    m_sizeIndex = index >= 0 && index < count ? index : -1;
    if (kind() == Kind::Simulated && m_sizeIndex >= 0) {
        SimulatedMeterSettings s = m_simSettings;
        s.width = SimulatedSizes[m_sizeIndex].width();
        s.height = SimulatedSizes[m_sizeIndex].height();
        setSimulatedMeterSettings(s);
    }
    grantRate();
}

void CaptureComponent::setSubtypeIndex(int index)
{
    const int count = int(subtypeList().count(Eol));
    m_subtypeIndex = index >= 0 && index < count ? index : -1;
    grantRate();
}

CameraFormat CaptureComponent::chosenCameraFormat() const
{
    const QList<QSize> sizes = cameraSizes();
    const QList<QVideoFrameFormat::PixelFormat> subtypes = cameraSubtypes();
    CameraFormat best;
    for (const CameraFormat& f : kind() == Kind::Camera ? m_cameras[m_deviceIndex].formats : QList<CameraFormat>()) {
        if (m_sizeIndex >= 0 && m_sizeIndex < sizes.size() && f.resolution != sizes[m_sizeIndex])
            continue;
        if (m_subtypeIndex >= 0 && m_subtypeIndex < subtypes.size() && f.pixelFormat != subtypes[m_subtypeIndex])
            continue;
        // Among matching formats, the one whose rate range is nearest the requested rate.
        auto distance = [this](const CameraFormat& c) {
            return std::abs(std::clamp(m_requestedRate, c.minFrameRate, std::max(c.minFrameRate, c.maxFrameRate)) -
                            m_requestedRate);
        };
        if (best.isNull() || distance(f) < distance(best))
            best = f;
    }
    return best;
}

void CaptureComponent::grantRate()
{
    switch (kind()) {
    case Kind::Camera: {
        const CameraFormat f = chosenCameraFormat();
        m_grantedRate = f.isNull()
                            ? m_requestedRate
                            : std::clamp(m_requestedRate, f.minFrameRate, std::max(f.minFrameRate, f.maxFrameRate));
        break;
    }
    case Kind::Simulated:
        m_grantedRate = std::clamp(m_requestedRate, 1.0, 60.0);
        break;
    case Kind::File:
    case Kind::None:
        m_grantedRate = m_requestedRate;
        break;
    }
    if (m_simTimer.isActive())
        m_simTimer.setInterval(int(std::lround(1000.0 / m_grantedRate)));
}

void CaptureComponent::setFrameRate(double framesPerSecond)
{
    if (std::isfinite(framesPerSecond) && framesPerSecond > 0)
        m_requestedRate = framesPerSecond;
    grantRate();
}

void CaptureComponent::setDisplaySize(int width, int height, bool stretch)
{
    m_displaySize = QSize(std::max(width, 1), std::max(height, 1));
    m_stretch = stretch;
    configurePreview();
}

void CaptureComponent::watchPreview(bool watching)
{
    const bool watchedBefore = m_previewWatchers > 0;
    m_previewWatchers = std::max(0, m_previewWatchers + (watching ? 1 : -1));
    if ((m_previewWatchers > 0) != watchedBefore)
        configurePreview();
}

void CaptureComponent::requestStill()
{
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker] { w->requestStill(); }, Qt::QueuedConnection);
}

void CaptureComponent::configurePreview()
{
    const QSize size = m_displaySize;
    const int interval = m_previewWatchers > 0 ? LiveViewIntervalMs : UnseenPreviewIntervalMs;
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker, size, interval] { w->setPreview(size, interval); }, Qt::QueuedConnection);
}

void CaptureComponent::setDetectionGrid(const QString& grid)
{
    DetectionGrid g = DetectionGrid::fromString(grid);
    m_gridAccepted = g.accepted();
    if (!m_gridAccepted)
        return;
    m_grid = g;
    m_table = CellTable{};
    configureWorker();
}

void CaptureComponent::setReduceNoise(bool on)
{
    m_reduceNoise = on;
    configureWorker();
}

void CaptureComponent::configureWorker()
{
    const int c = m_grid.columns();
    const int r = m_grid.rows();
    const bool noise = m_reduceNoise;
    QMetaObject::invokeMethod(
        m_worker,
        [w = m_worker, c, r, noise] {
            w->setGrid(c, r);
            w->setReduceNoise(noise);
        },
        Qt::QueuedConnection);
}

void CaptureComponent::setSimulatedMeterSettings(const SimulatedMeterSettings& s)
{
    m_simSettings = s;
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker, s] { w->setSimulatedSettings(s); }, Qt::QueuedConnection);
}

int CaptureComponent::cellValue(int channel, int column, int row) const
{
    return m_table.value(channel, column, row);
}

QString CaptureComponent::currentCellValuesText() const
{
    return cellValuesText(m_table, m_grid, m_compare[0], m_compare[1], m_compare[2]);
}

void CaptureComponent::setSurveyGrid(int columns, int rows)
{
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker, columns, rows] { w->setSurveyGrid(columns, rows); }, Qt::QueuedConnection);
}

double CaptureComponent::programTime(const AnalysedFrame& frame)
{
    const double now = m_clock.timer();
    double t = now;
    if (frame.simulatedSeconds >= 0)
        t = m_runStart + frame.simulatedSeconds;
    else if (frame.capturedUs >= 0)
        t = now - std::max<qint64>(0, m_monotonic.nsecsElapsed() / 1000 - frame.capturedUs) / 1e6;
    t = WrapDay(t);
    // Never before the run began nor before the previous frame.
    if (SecondsAhead(t, m_runStart) < 0)
        t = m_runStart;
    if (m_frameTime >= 0 && SecondsAhead(t, m_frameTime) < 0)
        t = m_frameTime;
    return t;
}

void CaptureComponent::onFrameReady(const AnalysedFrame& frame)
{
    // Tables queued before a stop, a restart or a grid change no longer describe the picture in use.
    if (frame.run != m_run || m_state == StateStopped)
        return;
    m_frameTime = programTime(frame);
    if (!frame.preview.isNull()) {
        m_preview = frame.preview;
        emit previewChanged();
    }
    if (!frame.still.isNull())
        emit stillTaken(frame.still);
    if (!frame.survey.isEmpty())
        emit surveyAnalysed(frame.survey, m_frameTime);
    if (frame.table.columns != m_grid.columns() || frame.table.rows != m_grid.rows())
        return;
    m_table = frame.table;
    if (m_motionDetection)
        emit frameAnalysed();
}

double CaptureComponent::simulatedSeconds() const
{
    return SecondsBetween(m_clock.timer(), m_simStart);
}

void CaptureComponent::renderSimulatedFrame()
{
    if (m_state == StateStopped || kind() != Kind::Simulated)
        return;
    const double t = simulatedSeconds();
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker, t] { w->renderSimulated(t); }, Qt::QueuedConnection);
}

void CaptureComponent::startLiveVideo()
{
    if (is_camera_running(*this))
        return;
    const quint32 run = ++m_run;
    m_runStart = m_clock.timer();
    m_frameTime = -1.0;
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker, run] { w->restart(run); }, Qt::QueuedConnection);
    switch (kind()) {
    case Kind::Simulated:
        if (meterConstant)
            m_simSettings.revsPerKWh = meterConstant();
        setSimulatedMeterSettings(m_simSettings);
        m_simStart = m_runStart;
        m_state = StatePreview;
        if (m_simFreeRunning) {
            m_simTimer.start(int(std::lround(1000.0 / m_grantedRate)));
        }
        break;
    case Kind::Camera: {
        std::unique_ptr<CameraStream> stream = m_cameraDevices.open(m_cameras[m_deviceIndex].id, chosenCameraFormat());
        if (stream)
            startStream(std::move(stream));
        else
            m_dialogs.message(QStringLiteral("The camera \"%1\" cannot be opened.").arg(deviceName()));
        break;
    }
    case Kind::File:
        startFile();
        break;
    case Kind::None:
        break;
    }
}

void CaptureComponent::startStream(std::unique_ptr<CameraStream> stream)
{
    m_stream = std::move(stream);
    // Direct when the frame is raised on the capture thread, queued to it from anywhere else.
    connect(m_stream.get(), &CameraStream::frame, m_worker, &CaptureWorker::analyseVideoFrame);
    connect(m_stream.get(), &CameraStream::failed, this, &CaptureComponent::failRunning);
    m_state = StatePreview;
    onStreamThread([s = m_stream.get()] { s->start(); });
}

void CaptureComponent::onStreamThread(const std::function<void()>& work)
{
    // Through the worker, which outlives the stream that the work may delete.
    if (m_stream->thread() == QThread::currentThread())
        work();
    else
        QMetaObject::invokeMethod(m_worker, work, Qt::BlockingQueuedConnection);
}

void CaptureComponent::startFile()
{
    if (m_videoFile.isEmpty()) {
        m_dialogs.message(
            QStringLiteral("No video file has been chosen. Select \"%1\" again to choose one.").arg(VideoFileName));
        return;
    }
    // The player is made on the capture thread: Qt Multimedia hands each frame to the sink on the sink's own
    // thread, which then is the capture thread, not this busy one.
    std::unique_ptr<VideoFileStream> stream;
    QMetaObject::invokeMethod(
        m_worker, [&stream, path = m_videoFile] { stream = std::make_unique<VideoFileStream>(path); },
        Qt::BlockingQueuedConnection);
    connect(stream.get(), &VideoFileStream::frameRateKnown, this, [this](double rate) { m_grantedRate = rate; });
    startStream(std::move(stream));
}

void CaptureComponent::chooseVideoFile()
{
    Dialogs::FileRequest request;
    request.title = QStringLiteral("Open Video File");
    request.filter = QStringLiteral("Video files (*.mp4 *.mov *.m4v *.3gp *.mkv *.avi *.webm)");
    const QString path = m_dialogs.openFileName(request);
    if (!path.isEmpty())
        m_videoFile = path;
}

void CaptureComponent::failRunning(const QString& reason)
{
    if (m_state == StateStopped)
        return;
    const bool file = kind() == Kind::File;
    const QString name = deviceName();
    // Deferred: the stream that failed may be inside its own signal, and stop() destroys it.
    QTimer::singleShot(0, this, [this, file, name, reason, run = m_run] {
        if (m_state == StateStopped || run != m_run)
            return;
        stop();
        if (file) {
            m_dialogs.message(QStringLiteral("Couldn't play the video file %1: %2.").arg(m_videoFile, reason));
            emit deviceLost(QString()); // the message above says why
            return;
        }
        // Busy and forbidden devices are the usual causes on Linux; the back end's own words come first.
        emit deviceLost(QStringLiteral("The camera \"%1\" stopped: %2.\n\nIf another program is using it, close that "
                                       "program. If you may not open the camera (/dev/video*), add your user to the "
                                       "\"video\" group and log in again.")
                            .arg(name, reason.isEmpty() ? QStringLiteral("no reason given") : reason));
    });
}

void CaptureComponent::stop()
{
    m_simTimer.stop();
    if (m_stream) {
        m_stream->disconnect(this);
        m_stream->disconnect(m_worker);
        onStreamThread([this] {
            m_stream->stop();
            m_stream.reset();
        });
    }
    m_state = StateStopped;
}

void CaptureComponent::refreshCameras()
{
    const QList<CameraInfo> now = m_cameraDevices.videoInputs();
    auto listed = [](const QList<CameraInfo>& list, const QByteArray& id) {
        return std::find_if(list.begin(), list.end(), [&](const CameraInfo& d) { return d.id == id; });
    };
    const Kind selectedKind = kind();
    const QByteArray selectedId = selectedKind == Kind::Camera ? m_cameras[m_deviceIndex].id : QByteArray();
    QList<CameraInfo> removed, added;
    for (const CameraInfo& d : m_cameras)
        if (listed(now, d.id) == now.end())
            removed << d;
    for (const CameraInfo& d : now)
        if (listed(m_cameras, d.id) == m_cameras.end())
            added << d;
    m_cameras = now;

    // The same device stays selected under its new index; a selected camera that is gone leaves nothing
    // selected, which is a selection change like any other.
    bool selectionLost = false;
    bool runningLost = false;
    if (selectedKind == Kind::Camera) {
        const auto it = listed(now, selectedId);
        if (it == now.end()) {
            selectionLost = true;
            runningLost = is_camera_running(*this);
            stop();
            m_deviceIndex = -1;
        } else {
            m_deviceIndex = int(it - now.begin());
        }
    } else if (selectedKind == Kind::Simulated) {
        m_deviceIndex = simulatedMeterIndex();
    } else if (selectedKind == Kind::File) {
        m_deviceIndex = videoFileIndex();
    }
    for (const CameraInfo& d : removed)
        emit deviceAddedOrRemoved(false, true, d.description);
    for (const CameraInfo& d : added)
        emit deviceAddedOrRemoved(true, true, d.description);
    if (selectionLost)
        setDeviceIndex(-1); // empties the format lists and announces the change
    if (runningLost)
        emit deviceLost(QStringLiteral("The camera is no longer connected."));
}

QCamera* CaptureComponent::camera() const
{
    return m_stream ? m_stream->camera() : nullptr;
}

void CaptureComponent::applyStreamSettings(int sizeIndex, int subtypeIndex, double framesPerSecond)
{
    const bool restart = is_camera_running(*this);
    if (restart)
        stop();
    setSizeIndex(sizeIndex);
    setSubtypeIndex(subtypeIndex);
    setFrameRate(framesPerSecond);
    if (restart) {
        startLiveVideo();
        emit liveVideoRestarted();
    }
}
