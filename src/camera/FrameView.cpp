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

std::array<ChannelLayout, 3> channelLayouts(PixelFormat f)
{
    switch (f) {
    case PixelFormat::Bgrx32:
        return {{{0, 4, 2}, {0, 4, 1}, {0, 4, 0}}};
    case PixelFormat::Rgbx32:
        return {{{0, 4, 0}, {0, 4, 1}, {0, 4, 2}}};
    case PixelFormat::Xrgb32:
        return {{{0, 4, 1}, {0, 4, 2}, {0, 4, 3}}};
    case PixelFormat::Xbgr32:
        return {{{0, 4, 3}, {0, 4, 2}, {0, 4, 1}}};
    case PixelFormat::Yuv420p:
        return {{{0, 1, 0}, {1, 1, 0, 1, 1}, {2, 1, 0, 1, 1}}};
    case PixelFormat::Yv12:
        return {{{0, 1, 0}, {2, 1, 0, 1, 1}, {1, 1, 0, 1, 1}}};
    case PixelFormat::Nv12:
        return {{{0, 1, 0}, {1, 2, 0, 1, 1}, {1, 2, 1, 1, 1}}};
    case PixelFormat::Nv21:
        return {{{0, 1, 0}, {1, 2, 1, 1, 1}, {1, 2, 0, 1, 1}}};
    case PixelFormat::Yuyv:
        return {{{0, 2, 0}, {0, 4, 1, 1, 0}, {0, 4, 3, 1, 0}}};
    case PixelFormat::Uyvy:
        return {{{0, 2, 1}, {0, 4, 0, 1, 0}, {0, 4, 2, 1, 0}}};
    }
    return {};
}

YuvToRgb YuvToRgb::of(const FrameView& f)
{
    const bool bt709 = f.matrix == YuvMatrix::Bt709;
    return {.kr = bt709 ? 1.5748 : 1.402,
            .kgu = bt709 ? 0.187324 : 0.344136,
            .kgv = bt709 ? 0.468124 : 0.714136,
            .kb = bt709 ? 1.8556 : 1.772,
            .yBase = f.fullRange ? 0.0 : 16.0,
            .yScale = f.fullRange ? 1.0 : 255.0 / 219.0,
            .cScale = f.fullRange ? 1.0 : 255.0 / 224.0};
}
