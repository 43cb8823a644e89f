// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/FrameView.h"

bool isYuvFormat(PixelFormat f)
{
    switch (f) {
    case PixelFormat::Bgrx32:
    case PixelFormat::Rgbx32:
    case PixelFormat::Xrgb32:
    case PixelFormat::Xbgr32:
        return false;
    default:
        return true;
    }
}

bool FrameView::isValid() const
{
    // Wider lines than this would let one line's span sums overflow 32 bits.
    constexpr int MaxSide = 1 << 20;
    if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide || !planes[0])
        return false;
    const qsizetype w = width;
    const qsizetype cw = (w + 1) / 2;
    switch (format) {
    case PixelFormat::Bgrx32:
    case PixelFormat::Rgbx32:
    case PixelFormat::Xrgb32:
    case PixelFormat::Xbgr32:
        return strides[0] >= 4 * w;
    case PixelFormat::Yuv420p:
    case PixelFormat::Yv12:
        return strides[0] >= w && planes[1] && planes[2] && strides[1] >= cw && strides[2] >= cw;
    case PixelFormat::Nv12:
    case PixelFormat::Nv21:
        return strides[0] >= w && planes[1] && strides[1] >= 2 * cw;
    case PixelFormat::Yuyv:
    case PixelFormat::Uyvy:
        return strides[0] >= 4 * cw;
    }
    return false;
}
