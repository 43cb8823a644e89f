// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/FramePicture.h"

#include <algorithm>
#include <cmath>
#include <vector>

bool drawFramePicture(const FrameView& f, quint32* out, int width, int height, qsizetype stride)
{
    if (!f.isValid() || width <= 0 || height <= 0)
        return false;
    const std::array<ChannelLayout, 3> layout = channelLayouts(f.format);
    // Byte offset of each channel's sample within its line, per output column.
    std::vector<qsizetype> columns(std::size_t(width) * 3);
    for (int x = 0; x < width; ++x) {
        const qsizetype sx = (2 * qsizetype(x) + 1) * f.width / (2 * qsizetype(width));
        for (std::size_t ch = 0; ch < 3; ++ch)
            columns[std::size_t(x) * 3 + ch] = (sx >> layout[ch].columnShift) * layout[ch].step + layout[ch].offset;
    }
    // 16.16 fixed point; luma and chroma offsets folded into the constant term.
    const bool yuv = isYuvFormat(f.format);
    const YuvToRgb k = YuvToRgb::of(f);
    auto fixed = [](double v) { return int(std::lround(v * 65536.0)); };
    const int ky = fixed(k.yScale), kr = fixed(k.kr * k.cScale), kgu = fixed(k.kgu * k.cScale),
              kgv = fixed(k.kgv * k.cScale), kb = fixed(k.kb * k.cScale);
    const int base = fixed(-k.yBase * k.yScale) + 32768;
    auto byte = [](int v) { return quint32(std::clamp(v >> 16, 0, 255)); };
    for (int y = 0; y < height; ++y) {
        const qsizetype sy = (2 * qsizetype(y) + 1) * f.height / (2 * qsizetype(height));
        const uchar* line[3];
        for (std::size_t ch = 0; ch < 3; ++ch)
            line[ch] = f.planes[layout[ch].plane] + (sy >> layout[ch].rowShift) * f.strides[layout[ch].plane];
        quint32* o = reinterpret_cast<quint32*>(reinterpret_cast<uchar*>(out) + qsizetype(y) * stride);
        const qsizetype* c = columns.data();
        for (int x = 0; x < width; ++x, c += 3) {
            const int a = line[0][c[0]], b = line[1][c[1]], d = line[2][c[2]];
            if (!yuv) {
                o[x] = 0xff000000u | quint32(a) << 16 | quint32(b) << 8 | quint32(d);
                continue;
            }
            const int l = ky * a + base, u = b - 128, v = d - 128;
            o[x] = 0xff000000u | byte(l + kr * v) << 16 | byte(l - kgu * u - kgv * v) << 8 | byte(l + kb * u);
        }
    }
    return true;
}
