// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/VideoCapture.h"

bool is_camera_running(const VideoCapture& capture)
{
    const int s = capture.state();
    return s == VideoCapture::StatePreview || s == VideoCapture::StateCapturing;
}
