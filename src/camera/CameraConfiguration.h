// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSize>
#include <QString>

struct AppContext;
class VideoCapture;

namespace CameraConfiguration {

inline constexpr int PreferredVideoSizeCount = 12;
// Shown for a VIDEO_SIZE outside 1..12.
inline constexpr int DefaultVideoSize = 5;

// Display size of the preferred-size option videoSize (1..12); 320 x 240 for any other value.
QSize preferredVideoSize(int videoSize);

// Frame rates shown as "#####.000": three decimals, no leading zero before the point (0.5 -> ".500").
QString formatFrameRate(double framesPerSecond);

} // namespace CameraConfiguration

// Sends the camera settings to the component in the order it expects. A grid the component refuses is
// replaced by the factory grid (DETECTION_GRID too), with a message, so detection always has cells to watch.
// Returns the component's grid display text, which the image settings screen shows.
QString setup_camera_control(AppContext& ctx, VideoCapture& capture);
