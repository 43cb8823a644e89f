// SPDX-License-Identifier: GPL-3.0-or-later
#include "unattended/CameraWatchdog.h"

#include "metering/LogEvent.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"

#include <QDebug>
#include <cmath>

namespace {
qint64 wholeSeconds(double from, double to)
{
    return static_cast<qint64>(std::floor(SecondsBetween(to, from)));
}
} // namespace

void CameraWatchdog::cameraStarted(double now)
{
    m_watching = true;
    m_lastPicture = now;
    m_lastRestart = now;
    m_stalledSince = -1.0;
    m_ctx.cameraStalled = false;
    // A lost camera is back with its first picture.
    if (!lost())
        setStatus(QString());
}

void CameraWatchdog::cameraStopped()
{
    m_watching = false;
    m_stalledSince = -1.0;
    m_lostSince = -1.0;
    m_ctx.cameraStalled = m_ctx.cameraLost = false;
    m_ctx.strCameraLostNote.clear();
    setStatus(QString());
}

void CameraWatchdog::cameraLost(double now, const QString& name, const QString& reason)
{
    m_watching = true;
    m_stalledSince = -1.0;
    m_ctx.cameraStalled = false;
    m_ctx.cameraLost = true;
    if (!lost()) {
        m_lostSince = now;
        m_lastRestart = now;
        m_lostName = name;
        m_ctx.strCameraLostNote = QStringLiteral("Camera lost: ") + name;
        qWarning().noquote() << m_ctx.strCameraLostNote +
                                    (reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason.simplified()));
    }
    check(now);
}

void CameraWatchdog::pictureArrived(double now)
{
    m_lastPicture = now;
    if (lost()) {
        const QString back = QStringLiteral("Camera back after %1 s").arg(wholeSeconds(m_lostSince, now));
        qInfo().noquote() << back + QStringLiteral(": ") + m_lostName;
        m_lostSince = -1.0;
        m_ctx.cameraLost = false;
        m_ctx.strCameraLostNote.clear();
        noteInComment(back);
        setStatus(QString());
        return;
    }
    if (!stalled())
        return;
    const QString back = QStringLiteral("Camera picture back after %1 s").arg(wholeSeconds(m_stalledSince, now));
    qInfo().noquote() << back;
    m_stalledSince = -1.0;
    m_ctx.cameraStalled = false;
    noteInComment(back);
    setStatus(QString());
}

bool CameraWatchdog::check(double now)
{
    if (!m_watching)
        return false;
    if (lost()) {
        setStatus(QStringLiteral("Camera lost for %1 s: %2").arg(wholeSeconds(m_lostSince, now)).arg(m_lostName));
        return restartDue(now);
    }
    const qint32 limit = m_ctx.settings.STALLED_CAMERA_SECONDS;
    if (limit <= 0)
        return false;
    const double silence = SecondsBetween(now, m_lastPicture);
    if (silence < limit)
        return false;
    const QString status =
        QStringLiteral("Camera stalled: no picture for %1 s").arg(static_cast<qint64>(std::floor(silence)));
    setStatus(status);
    if (stalled())
        return restartDue(now);
    m_stalledSince = m_lastPicture;
    m_ctx.cameraStalled = true;
    m_lastRestart = now;
    noteInComment(status);
    qWarning().noquote() << status;
    return true;
}

bool CameraWatchdog::restartDue(double now)
{
    const qint32 limit = m_ctx.settings.STALLED_CAMERA_SECONDS;
    if (limit <= 0 || SecondsBetween(now, m_lastRestart) < limit)
        return false;
    m_lastRestart = now;
    return true;
}

void CameraWatchdog::setStatus(const QString& text)
{
    if (m_ctx.strCameraProblem == text)
        return;
    m_ctx.strCameraProblem = text;
    if (m_ctx.blnGlobalLoggingRunning && m_ctx.refreshLoggingDisplay)
        m_ctx.refreshLoggingDisplay();
}

void CameraWatchdog::noteInComment(const QString& text)
{
    if (m_ctx.blnGlobalLoggingRunning)
        m_ctx.strGlobalUserComment = WithNote(m_ctx, m_ctx.strGlobalUserComment, text);
}
