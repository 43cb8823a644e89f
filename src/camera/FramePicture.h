// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/FrameView.h"

// Draws a frame at another size as 32-bit 0xffRRGGBB pixels (QImage::Format_RGB32): each output pixel takes the
// frame's pixel nearest its centre, converted to RGB. Scaling and conversion are one pass over the output, so a
// large YUV frame costs only the pixels shown. Returns false, writing nothing, for an invalid frame.
bool drawFramePicture(const FrameView& frame, quint32* out, int width, int height, qsizetype stride);
