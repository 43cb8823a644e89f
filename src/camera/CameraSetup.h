// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSize>

struct AppContext;
class VideoCapture;

// The display sizes offered as options 1..12 (VIDEO_SIZE); any other number gives 320 x 240.
inline constexpr int PreferredVideoSizeCount = 12;
QSize preferredVideoSize(int videoSize);

// Hands the camera settings to the component in the order it expects. A grid the component refuses is
// replaced by the factory grid (in the settings too) with a message, so detection always has cells to watch.
void setup_camera_control(AppContext& ctx, VideoCapture& capture);
