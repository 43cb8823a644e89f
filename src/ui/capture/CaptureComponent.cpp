// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/CaptureComponent.h"

#include "app/Clock.h"
#include "app/Dialogs.h"
#include "ui/capture/CameraControlsDialog.h"
#include "ui/capture/CaptureWorker.h"
#include "ui/capture/GridEditDialog.h"
#include "ui/capture/SimulatedMeterDialog.h"
#include "ui/capture/StreamSettingsDialog.h"

#include <QCamera>
#include <QMediaCaptureSession>
#include <QMediaMetaData>
#include <QMediaPlayer>
#include <QVideoSink>

#include <algorithm>
#include <cmath>

namespace {
const QString Eol = QStringLiteral("\r\n");
const QList<QSize> SimulatedSizes{{160, 120}, {320, 240}, {640, 480}};

QString listText(const QStringList& items)
{
    QString out;
    for (const QString& item : items)
        out += item + Eol;
    return out;
}
} // namespace

CaptureComponent::CaptureComponent(Clock& clock, Dialogs& dialogs, QObject* parent)
    : VideoCapture(parent), m_clock(clock), m_dialogs(dialogs)
{
    qRegisterMetaType<CellTable>();
    m_worker = new CaptureWorker;
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &CaptureWorker::analysed, this, &CaptureComponent::onTableReady, Qt::QueuedConnection);
    m_thread.setObjectName(QStringLiteral("capture"));
    m_thread.start();

    m_cameras = QMediaDevices::videoInputs();
    connect(&m_mediaDevices, &QMediaDevices::videoInputsChanged, this, &CaptureComponent::refreshCameras);
    connect(&m_simTimer, &QTimer::timeout, this, &CaptureComponent::renderSimulatedFrame);
    m_simTimer.setTimerType(Qt::PreciseTimer);
    setDetectionGrid(QStringLiteral("5"));
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
    for (const QCameraDevice& d : m_cameras)
        names << d.description();
    names << SimulatedMeterName << VideoFileName;
    return listText(names);
}

QString CaptureComponent::deviceName() const
{
    switch (kind()) {
    case Kind::Camera:
        return m_cameras[m_deviceIndex].description();
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
    case Kind::File: {
        m_sizeIndex = 0;
        m_subtypeIndex = 0;
        Dialogs::FileRequest request;
        request.title = QStringLiteral("Open Video File");
        request.filter = QStringLiteral("Video files (*.avi *.mp4 *.mkv *.mov *.webm)");
        const QString path = m_dialogs.openFileName(request);
        if (!path.isEmpty())
            m_videoFile = path;
        break;
    }
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
    for (const QCameraFormat& f : m_cameras[m_deviceIndex].videoFormats())
        if (!sizes.contains(f.resolution()))
            sizes << f.resolution();
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
    for (const QCameraFormat& f : m_cameras[m_deviceIndex].videoFormats())
        if (!formats.contains(f.pixelFormat()))
            formats << f.pixelFormat();
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

QCameraFormat CaptureComponent::chosenCameraFormat() const
{
    const QList<QSize> sizes = cameraSizes();
    const QList<QVideoFrameFormat::PixelFormat> subtypes = cameraSubtypes();
    QCameraFormat best;
    for (const QCameraFormat& f : kind() == Kind::Camera ? m_cameras[m_deviceIndex].videoFormats()
                                                          : QList<QCameraFormat>()) {
        if (m_sizeIndex >= 0 && m_sizeIndex < sizes.size() && f.resolution() != sizes[m_sizeIndex])
            continue;
        if (m_subtypeIndex >= 0 && m_subtypeIndex < subtypes.size() && f.pixelFormat() != subtypes[m_subtypeIndex])
            continue;
        // Among matching formats, the one whose rate range is nearest the requested rate.
        auto distance = [this](const QCameraFormat& c) {
            return std::abs(std::clamp(m_requestedRate, double(c.minFrameRate()), double(c.maxFrameRate())) -
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
        const QCameraFormat f = chosenCameraFormat();
        m_grantedRate = f.isNull() ? m_requestedRate
                                   : std::clamp(m_requestedRate, double(f.minFrameRate()), double(f.maxFrameRate()));
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
    QMetaObject::invokeMethod(m_worker, [w = m_worker, c, r, noise] {
        w->setGrid(c, r);
        w->setReduceNoise(noise);
    }, Qt::QueuedConnection);
}

void CaptureComponent::setSimulatedMeterSettings(const SimulatedMeterSettings& s)
{
    m_simSettings = s;
    QMetaObject::invokeMethod(m_worker, [w = m_worker, s] { w->setSimulatedSettings(s); }, Qt::QueuedConnection);
}

int CaptureComponent::cellValue(int channel, int column, int row) const
{
    return m_table.value(channel, column, row);
}

QString CaptureComponent::currentCellValuesText() const
{
    return cellValuesText(m_table, m_grid, m_compare[0], m_compare[1], m_compare[2]);
}

void CaptureComponent::onTableReady(const CellTable& table, const QImage& preview)
{
    if (!preview.isNull()) {
        m_preview = preview;
        emit previewChanged();
    }
    // Tables queued before a stop or a grid change no longer describe the grid in use.
    if (m_state == StateStopped || table.columns != m_grid.columns() || table.rows != m_grid.rows())
        return;
    m_table = table;
    if (m_motionDetection)
        emit frameAnalysed();
}

double CaptureComponent::simulatedSeconds() const
{
    double t = m_clock.timer() - m_simStart;
    if (t < 0)
        t += 86400.0;
    return t;
}

void CaptureComponent::renderSimulatedFrame()
{
    if (m_state == StateStopped || kind() != Kind::Simulated)
        return;
    const double t = simulatedSeconds();
    QMetaObject::invokeMethod(m_worker, [w = m_worker, t] { w->renderSimulated(t); }, Qt::QueuedConnection);
}

void CaptureComponent::startLiveVideo()
{
    if (is_camera_running(*this))
        return;
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->restart(); }, Qt::QueuedConnection);
    switch (kind()) {
    case Kind::Simulated:
        setSimulatedMeterSettings(m_simSettings);
        m_simStart = m_clock.timer();
        m_state = StatePreview;
        if (m_simFreeRunning) {
            m_simTimer.start(int(std::lround(1000.0 / m_grantedRate)));
        }
        break;
    case Kind::Camera:
        startCamera();
        break;
    case Kind::File:
        startFile();
        break;
    case Kind::None:
        break;
    }
}

void CaptureComponent::startCamera()
{
    m_camera = std::make_unique<QCamera>(m_cameras[m_deviceIndex]);
    const QCameraFormat f = chosenCameraFormat();
    if (!f.isNull())
        m_camera->setCameraFormat(f);
    m_session = std::make_unique<QMediaCaptureSession>();
    m_sink = std::make_unique<QVideoSink>();
    m_session->setCamera(m_camera.get());
    m_session->setVideoSink(m_sink.get());
    connect(m_sink.get(), &QVideoSink::videoFrameChanged, m_worker, &CaptureWorker::analyseVideoFrame,
            Qt::QueuedConnection);
    connect(m_camera.get(), &QCamera::errorOccurred, this, [this](QCamera::Error e, const QString&) {
        if (e != QCamera::NoError)
            failRunning();
    });
    m_state = StatePreview;
    m_camera->start();
    if (m_camera && !m_camera->isActive() && m_camera->error() != QCamera::NoError)
        failRunning();
}

void CaptureComponent::startFile()
{
    if (m_videoFile.isEmpty())
        return;
    m_player = std::make_unique<QMediaPlayer>();
    m_sink = std::make_unique<QVideoSink>();
    m_player->setVideoSink(m_sink.get());
    m_player->setLoops(QMediaPlayer::Infinite);
    connect(m_sink.get(), &QVideoSink::videoFrameChanged, m_worker, &CaptureWorker::analyseVideoFrame,
            Qt::QueuedConnection);
    connect(m_player.get(), &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error e, const QString&) {
        if (e != QMediaPlayer::NoError)
            failRunning();
    });
    connect(m_player.get(), &QMediaPlayer::metaDataChanged, this, [this] {
        const QVariant rate = m_player->metaData().value(QMediaMetaData::VideoFrameRate);
        if (rate.isValid() && rate.toDouble() > 0)
            m_grantedRate = rate.toDouble();
    });
    m_player->setSource(QUrl::fromLocalFile(m_videoFile));
    m_state = StatePreview;
    m_player->play();
}

void CaptureComponent::failRunning()
{
    if (m_state == StateStopped)
        return;
    // Deferred: the source that failed may be inside its own signal.
    QTimer::singleShot(0, this, [this] {
        if (m_state == StateStopped)
            return;
        stop();
        emit deviceLost();
    });
}

void CaptureComponent::stop()
{
    m_simTimer.stop();
    if (m_sink)
        m_sink->disconnect(m_worker);
    if (m_camera)
        m_camera->stop();
    if (m_player)
        m_player->stop();
    m_session.reset();
    m_camera.reset();
    m_player.reset();
    m_sink.reset();
    m_state = StateStopped;
}

void CaptureComponent::refreshCameras()
{
    const QList<QCameraDevice> now = QMediaDevices::videoInputs();
    const QString selectedName = deviceName();
    const Kind selectedKind = kind();
    const QByteArray selectedId = selectedKind == Kind::Camera ? m_cameras[m_deviceIndex].id() : QByteArray();
    QList<QCameraDevice> removed, added;
    for (const QCameraDevice& d : m_cameras)
        if (!now.contains(d))
            removed << d;
    for (const QCameraDevice& d : now)
        if (!m_cameras.contains(d))
            added << d;
    m_cameras = now;
    // Keep the same device selected under its new index.
    if (selectedKind == Kind::Camera) {
        auto it = std::find_if(now.begin(), now.end(), [&](const QCameraDevice& d) { return d.id() == selectedId; });
        if (it == now.end()) {
            const bool wasRunning = is_camera_running(*this);
            stop();
            m_deviceIndex = -1;
            if (wasRunning)
                emit deviceLost();
        } else {
            m_deviceIndex = int(it - now.begin());
        }
    } else if (selectedKind == Kind::Simulated) {
        m_deviceIndex = simulatedMeterIndex();
    } else if (selectedKind == Kind::File) {
        m_deviceIndex = videoFileIndex();
    }
    Q_UNUSED(selectedName);
    for (const QCameraDevice& d : removed)
        emit deviceAddedOrRemoved(false, true, d.description());
    for (const QCameraDevice& d : added)
        emit deviceAddedOrRemoved(true, true, d.description());
}

void CaptureComponent::showDeviceSettingsDialog()
{
    switch (kind()) {
    case Kind::Simulated: {
        SimulatedMeterDialog dlg(m_simSettings, m_dialogParent);
        if (dlg.exec() == QDialog::Accepted)
            setSimulatedMeterSettings(dlg.settings());
        break;
    }
    case Kind::Camera: {
        if (!m_camera) {
            m_dialogs.message(QStringLiteral("Start the camera to change its settings."));
            break;
        }
        CameraControlsDialog dlg(*m_camera, m_dialogParent);
        dlg.exec();
        break;
    }
    case Kind::File:
        setDeviceIndex(videoFileIndex());
        break;
    case Kind::None:
        break;
    }
}

void CaptureComponent::showStreamSettingsDialog()
{
    StreamSettingsDialog dlg(sizeList(), m_sizeIndex, subtypeList(), m_subtypeIndex, m_requestedRate, m_dialogParent);
    if (dlg.exec() != QDialog::Accepted)
        return;
    const bool restart = is_camera_running(*this);
    if (restart)
        stop();
    setSizeIndex(dlg.sizeIndex());
    setSubtypeIndex(dlg.subtypeIndex());
    setFrameRate(dlg.frameRate());
    if (restart)
        startLiveVideo();
}

void CaptureComponent::showGridDialog()
{
    GridEditDialog dlg(m_grid, m_preview, m_dialogParent);
    if (dlg.exec() == QDialog::Accepted)
        setDetectionGrid(dlg.grid().text());
}
