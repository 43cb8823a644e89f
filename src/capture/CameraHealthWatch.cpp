// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/CameraHealthWatch.h"

#include "app/Clock.h"
#include "camera/VideoCapture.h"
#include "metering/MeteringContext.h"

CameraHealthWatch::CameraHealthWatch(MeteringContext& ctx, VideoCapture& capture, std::function<void()> restart,
                                     QObject* parent)
    : QObject(parent), m_ctx(ctx), m_watchdog(ctx), m_restart(std::move(restart))
{
    connect(&capture, &VideoCapture::frameAnalysed, this,
            [this] { m_watchdog.pictureArrived(m_ctx.services.clock.timer()); });
    connect(&m_timer, &QTimer::timeout, this, &CameraHealthWatch::check);
    m_timer.setInterval(1000);
}

void CameraHealthWatch::cameraRunningChanged(bool running)
{
    const bool changed = running != m_running;
    m_running = running;
    if (m_restarting || !changed)
        return;
    if (running) {
        m_watchdog.cameraStarted(m_ctx.services.clock.timer());
        m_timer.start();
    } else {
        m_watchdog.cameraStopped();
        m_timer.stop();
    }
}

void CameraHealthWatch::cameraLost(const QString& name, const QString& reason)
{
    m_watchdog.cameraLost(m_ctx.services.clock.timer(), name, reason);
    m_timer.start();
}

void CameraHealthWatch::check()
{
    // A restart may wait inside a message box while this timer goes on.
    const bool restartDue = !m_restarting && m_watchdog.check(m_ctx.services.clock.timer());
    if (m_watchdog.lost())
        emit waitingForLostCamera();
    if (!restartDue || !m_restart)
        return;
    m_restarting = true;
    m_restart();
    m_restarting = false;
}
