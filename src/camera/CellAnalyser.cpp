// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/CellAnalyser.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>

void CellAnalyser::setGrid(int columns, int rows)
{
    columns = std::max(columns, 0);
    rows = std::max(rows, 0);
    if (columns != m_columns || rows != m_rows)
        m_history.clear();
    m_columns = columns;
    m_rows = rows;
}

void CellAnalyser::setReduceNoise(bool on)
{
    if (on != m_reduceNoise)
        m_history.clear();
    m_reduceNoise = on;
}

void CellAnalyser::computeBounds(int width, int height)
{
    auto bounds = [](std::vector<int>& b, int cells, int pixels) {
        b.resize(std::size_t(cells) + 1);
        for (int i = 0; i <= cells; ++i)
            b[std::size_t(i)] = int(qint64(i) * pixels / cells);
    };
    bounds(m_xBounds, m_columns, width);
    bounds(m_yBounds, m_rows, height);
}

CellTable CellAnalyser::analyse(const FrameView& f)
{
    if (m_columns == 0 || m_rows == 0 || !f.isValid())
        return {};
    const std::size_t cells = std::size_t(m_columns) * std::size_t(m_rows);
    m_sums.assign(cells * 3, 0);
    CellTable table;
    switch (f.format) {
    case PixelFormat::Bgrx32:
        computeBounds(f.width, f.height);
        sumPacked32(f, 2, 1, 0);
        table = rgbMeans();
        break;
    case PixelFormat::Rgbx32:
        computeBounds(f.width, f.height);
        sumPacked32(f, 0, 1, 2);
        table = rgbMeans();
        break;
    case PixelFormat::Xrgb32:
        computeBounds(f.width, f.height);
        sumPacked32(f, 1, 2, 3);
        table = rgbMeans();
        break;
    case PixelFormat::Xbgr32:
        computeBounds(f.width, f.height);
        sumPacked32(f, 3, 2, 1);
        table = rgbMeans();
        break;
    case PixelFormat::Yuv420p:
    case PixelFormat::Yv12: {
        computeBounds(f.width, f.height);
        const bool swap = f.format == PixelFormat::Yv12;
        // Planar chroma: U and V planes share one stride in every layout we receive.
        if (f.strides[1] != f.strides[2])
            return {};
        sumYuv<1, 1>(f.planes[0], f.strides[0], 0, swap ? f.planes[2] : f.planes[1], swap ? f.planes[1] : f.planes[2],
                     f.strides[1], true);
        table = yuvMeans(f);
        break;
    }
    case PixelFormat::Nv12:
    case PixelFormat::Nv21: {
        computeBounds(f.width, f.height);
        const bool swap = f.format == PixelFormat::Nv21;
        sumYuv<1, 2>(f.planes[0], f.strides[0], 0, f.planes[1] + (swap ? 1 : 0), f.planes[1] + (swap ? 0 : 1),
                     f.strides[1], true);
        table = yuvMeans(f);
        break;
    }
    case PixelFormat::Yuyv:
    case PixelFormat::Uyvy: {
        computeBounds(f.width, f.height);
        const bool yuyv = f.format == PixelFormat::Yuyv;
        sumYuv<2, 4>(f.planes[0], f.strides[0], yuyv ? 0 : 1, f.planes[0] + (yuyv ? 1 : 0),
                     f.planes[0] + (yuyv ? 3 : 2), f.strides[0], false);
        table = yuvMeans(f);
        break;
    }
    }
    return m_reduceNoise ? denoise(std::move(table)) : table;
}

namespace {
// Adds the sums of byte 0, 1, 2 and 3 over a run of n 32-bit pixels to out. Two pixels are read as one 64-bit
// word whose even and odd bytes are masked into 16-bit lanes, so one addition sums four bytes; a lane holds
// 256 additions of 255 before it could overflow, so the lanes are emptied every 256 words.
void addPixelRun(const uchar* p, int n, quint32 out[4])
{
    constexpr quint64 Mask = 0x00FF00FF00FF00FFull;
    auto pairOfLanes = [](quint64 x, int first) {
        return quint32((x >> (16 * first)) & 0xFFFF) + quint32((x >> (16 * first + 32)) & 0xFFFF);
    };
    int i = 0;
    while (n - i >= 2) {
        const int words = std::min((n - i) / 2, 256);
        quint64 even = 0, odd = 0;
        const uchar* w = p + qsizetype(i) * 4;
        for (int k = 0; k < words; ++k, w += 8) {
            quint64 v;
            std::memcpy(&v, w, sizeof v);
            v = qFromLittleEndian(v);
            even += v & Mask;
            odd += (v >> 8) & Mask;
        }
        out[0] += pairOfLanes(even, 0);
        out[2] += pairOfLanes(even, 1);
        out[1] += pairOfLanes(odd, 0);
        out[3] += pairOfLanes(odd, 1);
        i += 2 * words;
    }
    if (i < n) {
        const uchar* last = p + qsizetype(i) * 4;
        for (int b = 0; b < 4; ++b)
            out[b] += last[b];
    }
}

// The sum of n bytes, eight at a time: each 64-bit word adds its byte pairs into four 16-bit lanes, which hold 128
// words of 2 x 255 before they could overflow.
quint32 addByteRun(const uchar* p, int n)
{
    constexpr quint64 Mask = 0x00FF00FF00FF00FFull;
    quint32 s = 0;
    int i = 0;
    while (n - i >= 8) {
        const int words = std::min((n - i) / 8, 128);
        quint64 lanes = 0;
        for (int k = 0; k < words; ++k, i += 8) {
            quint64 v;
            std::memcpy(&v, p + i, sizeof v);
            lanes += (v & Mask) + ((v >> 8) & Mask);
        }
        s += quint32(lanes & 0xFFFF) + quint32((lanes >> 16) & 0xFFFF) + quint32((lanes >> 32) & 0xFFFF) +
             quint32(lanes >> 48);
    }
    for (; i < n; ++i)
        s += p[i];
    return s;
}
} // namespace

void CellAnalyser::sumPacked32(const FrameView& f, int ro, int go, int bo)
{
    const std::size_t cols = std::size_t(m_columns);
    for (int gr = 0; gr < m_rows; ++gr) {
        quint64* rowSums = m_sums.data() + std::size_t(gr) * cols * 3;
        for (int y = m_yBounds[std::size_t(gr)]; y < m_yBounds[std::size_t(gr) + 1]; ++y) {
            const uchar* line = f.planes[0] + qsizetype(y) * f.strides[0];
            for (std::size_t c = 0; c < cols; ++c) {
                // 32-bit span sums: a line is at most 2^20 pixels of at most 255.
                quint32 bytes[4] = {0, 0, 0, 0};
                addPixelRun(line + qsizetype(m_xBounds[c]) * 4, m_xBounds[c + 1] - m_xBounds[c], bytes);
                rowSums[c * 3] += bytes[ro];
                rowSums[c * 3 + 1] += bytes[go];
                rowSums[c * 3 + 2] += bytes[bo];
            }
        }
    }
}

template <int LumaStep, int ChromaStep>
void CellAnalyser::sumYuv(const uchar* luma, qsizetype lumaStride, int lumaOffset, const uchar* u, const uchar* v,
                          qsizetype chromaStride, bool halfRows)
{
    const std::size_t cols = std::size_t(m_columns);
    // Luma into slot 0 of each cell.
    for (int gr = 0; gr < m_rows; ++gr) {
        quint64* rowSums = m_sums.data() + std::size_t(gr) * cols * 3;
        for (int y = m_yBounds[std::size_t(gr)]; y < m_yBounds[std::size_t(gr) + 1]; ++y) {
            const uchar* line = luma + qsizetype(y) * lumaStride + lumaOffset;
            for (std::size_t c = 0; c < cols; ++c) {
                const uchar* p = line + qsizetype(m_xBounds[c]) * LumaStep;
                const uchar* end = line + qsizetype(m_xBounds[c + 1]) * LumaStep;
                quint32 s = 0;
                if constexpr (LumaStep == 1)
                    s = addByteRun(p, int(end - p));
                else
                    for (; p < end; p += LumaStep)
                        s += *p;
                rowSums[c * 3] += s;
            }
        }
    }
    // Chroma into slots 1 and 2, each sample weighted by the number of the cell's pixels it covers, so the
    // sums are those of the chroma upsampled to full size and the cell means stay exact at odd bounds.
    for (int gr = 0; gr < m_rows; ++gr) {
        quint64* rowSums = m_sums.data() + std::size_t(gr) * cols * 3;
        const int y0 = m_yBounds[std::size_t(gr)];
        const int y1 = m_yBounds[std::size_t(gr) + 1];
        if (y1 <= y0)
            continue;
        const int cy0 = halfRows ? y0 >> 1 : y0;
        const int cy1 = halfRows ? ((y1 - 1) >> 1) + 1 : y1;
        for (int cy = cy0; cy < cy1; ++cy) {
            const quint32 wy = halfRows ? quint32(std::min(2 * cy + 2, y1) - std::max(2 * cy, y0)) : 1u;
            const qsizetype lineOffset = qsizetype(cy) * chromaStride;
            const uchar* ul = u + lineOffset;
            const uchar* vl = v + lineOffset;
            for (std::size_t c = 0; c < cols; ++c) {
                const int b = m_xBounds[c];
                const int e = m_xBounds[c + 1];
                if (e <= b)
                    continue;
                quint32 su = 0, sv = 0;
                if constexpr (ChromaStep == 1) {
                    su = addByteRun(ul + ((b + 1) >> 1), (e >> 1) - ((b + 1) >> 1));
                    sv = addByteRun(vl + ((b + 1) >> 1), (e >> 1) - ((b + 1) >> 1));
                } else {
                    for (int cx = (b + 1) >> 1; cx < e >> 1; ++cx) {
                        su += ul[qsizetype(cx) * ChromaStep];
                        sv += vl[qsizetype(cx) * ChromaStep];
                    }
                }
                su *= 2;
                sv *= 2;
                if (b & 1) {
                    su += ul[qsizetype(b >> 1) * ChromaStep];
                    sv += vl[qsizetype(b >> 1) * ChromaStep];
                }
                if (e & 1) {
                    su += ul[qsizetype(e >> 1) * ChromaStep];
                    sv += vl[qsizetype(e >> 1) * ChromaStep];
                }
                rowSums[c * 3 + 1] += quint64(su) * wy;
                rowSums[c * 3 + 2] += quint64(sv) * wy;
            }
        }
    }
}

CellTable CellAnalyser::rgbMeans() const
{
    CellTable t;
    t.columns = m_columns;
    t.rows = m_rows;
    t.rgb.resize(m_sums.size());
    for (int gr = 0; gr < m_rows; ++gr) {
        const quint64 h = quint64(m_yBounds[std::size_t(gr) + 1] - m_yBounds[std::size_t(gr)]);
        for (int c = 0; c < m_columns; ++c) {
            const quint64 n = h * quint64(m_xBounds[std::size_t(c) + 1] - m_xBounds[std::size_t(c)]);
            const std::size_t i = (std::size_t(gr) * std::size_t(m_columns) + std::size_t(c)) * 3;
            for (int ch = 0; ch < 3; ++ch)
                t.rgb[i + std::size_t(ch)] =
                    n ? quint8(std::nearbyint(double(m_sums[i + std::size_t(ch)]) / double(n))) : quint8(0);
        }
    }
    return t;
}

CellTable CellAnalyser::yuvMeans(const FrameView& f) const
{
    const YuvToRgb k = YuvToRgb::of(f);
    auto clampByte = [](double x) { return quint8(std::clamp(std::nearbyint(x), 0.0, 255.0)); };

    CellTable t;
    t.columns = m_columns;
    t.rows = m_rows;
    t.rgb.resize(m_sums.size());
    for (int gr = 0; gr < m_rows; ++gr) {
        const quint64 h = quint64(m_yBounds[std::size_t(gr) + 1] - m_yBounds[std::size_t(gr)]);
        for (int c = 0; c < m_columns; ++c) {
            const std::size_t cell = std::size_t(gr) * std::size_t(m_columns) + std::size_t(c);
            const quint64 n = h * quint64(m_xBounds[std::size_t(c) + 1] - m_xBounds[std::size_t(c)]);
            const std::size_t i = cell * 3;
            if (!n) {
                t.rgb[i] = t.rgb[i + 1] = t.rgb[i + 2] = 0;
                continue;
            }
            const double y = (double(m_sums[i]) / double(n) - k.yBase) * k.yScale;
            const double u = (double(m_sums[i + 1]) / double(n) - 128.0) * k.cScale;
            const double v = (double(m_sums[i + 2]) / double(n) - 128.0) * k.cScale;
            t.rgb[i] = clampByte(y + k.kr * v);
            t.rgb[i + 1] = clampByte(y - k.kgu * u - k.kgv * v);
            t.rgb[i + 2] = clampByte(y + k.kb * u);
        }
    }
    return t;
}

CellTable CellAnalyser::denoise(CellTable&& current)
{
    if (m_history.size() == 2 && m_history.front().columns == current.columns &&
        m_history.front().rows == current.rows && m_history.back().columns == current.columns &&
        m_history.back().rows == current.rows) {
        CellTable out = current;
        const std::vector<quint8>& a = m_history.front().rgb;
        const std::vector<quint8>& b = m_history.back().rgb;
        const std::vector<quint8>& c = current.rgb;
        for (std::size_t i = 0; i < c.size(); ++i)
            out.rgb[i] = std::max(std::min(a[i], b[i]), std::min(std::max(a[i], b[i]), c[i]));
        m_history.pop_front();
        m_history.push_back(std::move(current));
        return out;
    }
    if (m_history.size() == 2)
        m_history.clear();
    m_history.push_back(current);
    return std::move(current);
}
