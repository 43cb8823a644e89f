// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "unattended/CameraWatchdog.h"

#include <QObject>
#include <QTimer>
#include <functional>

class VideoCapture;
struct MeteringContext;

// Watches a capture component for a stalled camera and a lost one through the camera watchdog: every analysed
// frame counts as a picture, a timer checks once a second, and `restart` is called when the watchdog asks for it.
// The meter's camera reports its starts and stops through cameraRunningChanged, and a camera lost while
// running unattended through cameraLost; those of a restart are ignored, and so is a report that changes nothing
// (a device removed while the camera is already stopped).
class CameraHealthWatch : public QObject
{
    Q_OBJECT

public:
    CameraHealthWatch(MeteringContext& ctx, VideoCapture& capture, std::function<void()> restart,
                      QObject* parent = nullptr);

    void cameraRunningChanged(bool running);
    void cameraLost(const QString& name, const QString& reason);
    // What the timer does each second; tests on a fake clock call it directly.
    void check();
    const CameraWatchdog& watchdog() const { return m_watchdog; }

signals:
    // Each second while a lost camera is awaited: the program is waiting as it should, not hung.
    void waitingForLostCamera();

private:
    MeteringContext& m_ctx;
    CameraWatchdog m_watchdog;
    std::function<void()> m_restart;
    QTimer m_timer;
    bool m_restarting = false;
    bool m_running = false;
};
