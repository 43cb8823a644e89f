// SPDX-License-Identifier: GPL-3.0-or-later
#include "unattended/CameraWatchdog.h"

#include "metering/LogEvent.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"

#include <cmath>

void CameraWatchdog::cameraStarted(double now)
{
    m_watching = true;
    m_lastPicture = now;
    m_stalledSince = -1.0;
    setStatus(QString());
}

void CameraWatchdog::cameraStopped()
{
    m_watching = false;
    m_stalledSince = -1.0;
    setStatus(QString());
}

void CameraWatchdog::pictureArrived(double now)
{
    m_lastPicture = now;
    if (!stalled())
        return;
    const auto seconds = static_cast<qint64>(std::floor(SecondsBetween(now, m_stalledSince)));
    m_stalledSince = -1.0;
    noteInComment(QStringLiteral("Camera picture back after %1 s").arg(seconds));
    setStatus(QString());
}

bool CameraWatchdog::check(double now)
{
    const qint32 limit = m_ctx.settings.STALLED_CAMERA_SECONDS;
    if (!m_watching || limit <= 0)
        return false;
    const double silence = SecondsBetween(now, m_lastPicture);
    if (silence < limit)
        return false;
    const QString status =
        QStringLiteral("Camera stalled: no picture for %1 s").arg(static_cast<qint64>(std::floor(silence)));
    bool restart = false;
    if (!stalled()) {
        m_stalledSince = m_lastPicture;
        noteInComment(status);
        restart = true;
    } else {
        restart = SecondsBetween(now, m_lastRestart) >= limit;
    }
    if (restart)
        m_lastRestart = now;
    setStatus(status);
    return restart;
}

void CameraWatchdog::setStatus(const QString& text)
{
    if (m_ctx.strCameraStalled == text)
        return;
    m_ctx.strCameraStalled = text;
    if (m_ctx.blnGlobalLoggingRunning && m_ctx.refreshLoggingDisplay)
        m_ctx.refreshLoggingDisplay();
}

void CameraWatchdog::noteInComment(const QString& text)
{
    if (!m_ctx.blnGlobalLoggingRunning)
        return;
    QString& comment = m_ctx.strGlobalUserComment;
    comment = CleanUserComment(m_ctx, comment.isEmpty() ? text : comment + QStringLiteral("; ") + text);
}
