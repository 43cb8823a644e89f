// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <array>

// Memory layouts the cell analysis reads directly. The 32-bit names give the byte order in memory
// (Bgrx32 is QImage::Format_RGB32 on a little-endian machine).
enum class PixelFormat
{
    Bgrx32,
    Rgbx32,
    Xrgb32,
    Xbgr32,
    Yuv420p, // Y plane, U plane, V plane, chroma halved both ways
    Yv12,    // as Yuv420p with V before U
    Nv12,    // Y plane, interleaved U V plane
    Nv21,    // Y plane, interleaved V U plane
    Yuyv,    // packed Y0 U Y1 V, chroma halved horizontally
    Uyvy,    // packed U Y0 V Y1
};

enum class YuvMatrix
{
    Bt601,
    Bt709
};

// A frame as bytes someone else owns: planes with their strides (bytes per line). Packed formats use plane 0.
struct FrameView
{
    PixelFormat format = PixelFormat::Bgrx32;
    int width = 0;
    int height = 0;
    const uchar* planes[3] = {nullptr, nullptr, nullptr};
    qsizetype strides[3] = {0, 0, 0};
    YuvMatrix matrix = YuvMatrix::Bt601;
    bool fullRange = false; // YUV only: 0..255 luma instead of 16..235

    // Planes present and large enough for the stated size.
    bool isValid() const;
};

bool isYuvFormat(PixelFormat f);

// Where one channel's samples lie: sample x of line y is at byte
// (y >> rowShift) * strides[plane] + (x >> columnShift) * step + offset of that plane.
struct ChannelLayout
{
    int plane = 0;
    int step = 1;
    int offset = 0;
    int columnShift = 0;
    int rowShift = 0;
};

// Y, U, V for the YUV formats; red, green, blue for the others.
std::array<ChannelLayout, 3> channelLayouts(PixelFormat f);

// The frame's YUV to RGB conversion on centred chroma: R = Y' + kr V', G = Y' - kgu U' - kgv V', B = Y' + kb U',
// where Y' = (Y - yBase) * yScale and U', V' = (U or V - 128) * cScale.
struct YuvToRgb
{
    double kr, kgu, kgv, kb, yBase, yScale, cScale;

    static YuvToRgb of(const FrameView& f);
};
