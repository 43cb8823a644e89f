// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

struct MeteringContext;

// What the meter's camera is doing. Power is measured only while it runs and delivers pictures: in every other
// state the disc may be turning unseen, so no power can be told.
enum class CameraState
{
    Stopped,
    Running,
    Stalled, // started, but no picture for STALLED_CAMERA_SECONDS
    Lost,    // gone while it ran (unplugged, its stream failed), or absent at an unattended start: awaited
};

CameraState CameraStateOf(const MeteringContext& ctx);
// "stopped", "running", "stalled" or "lost", as the published state names it.
QString CameraStateName(CameraState state);
// The camera's line for a person: whether it runs, or its problem, else a difference the register's read found.
QString CameraStatusLine(const MeteringContext& ctx);
inline bool CameraCounting(const MeteringContext& ctx)
{
    return CameraStateOf(ctx) == CameraState::Running;
}
