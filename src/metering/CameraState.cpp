// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/CameraState.h"

#include "metering/MeteringContext.h"

CameraState CameraStateOf(const MeteringContext& ctx)
{
    // A lost camera is no longer running, yet it is awaited rather than stopped.
    if (ctx.cameraLost)
        return CameraState::Lost;
    if (!ctx.blnGlobalCameraRunning)
        return CameraState::Stopped;
    return ctx.cameraStalled ? CameraState::Stalled : CameraState::Running;
}

QString CameraStateName(CameraState state)
{
    switch (state) {
    case CameraState::Running:
        return QStringLiteral("running");
    case CameraState::Stalled:
        return QStringLiteral("stalled");
    case CameraState::Lost:
        return QStringLiteral("lost");
    case CameraState::Stopped:
        break;
    }
    return QStringLiteral("stopped");
}

QString CameraStatusLine(const MeteringContext& ctx)
{
    if (!ctx.strCameraProblem.isEmpty())
        return ctx.strCameraProblem;
    if (!ctx.registerProblem.isEmpty())
        return ctx.registerProblem;
    return ctx.blnGlobalCameraRunning ? QStringLiteral("Camera is Running") : QStringLiteral("Camera is NOT RUNNING");
}
