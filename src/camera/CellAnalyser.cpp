// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/CellAnalyser.h"

#include <algorithm>
#include <cmath>

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

void CellAnalyser::computeBounds(int width, int height, bool halfChroma, bool halfChromaRows)
{
    auto bounds = [](std::vector<int>& b, int cells, int pixels) {
        b.resize(std::size_t(cells) + 1);
        for (int i = 0; i <= cells; ++i)
            b[std::size_t(i)] = int(qint64(i) * pixels / cells);
    };
    bounds(m_xBounds, m_columns, width);
    bounds(m_yBounds, m_rows, height);
    // A chroma sample belongs to every cell whose pixels it covers, so even a one-pixel cell has colour.
    auto chroma = [](std::vector<int>& out, const std::vector<int>& luma, bool half) {
        const std::size_t n = luma.size() - 1;
        out.resize(2 * n);
        for (std::size_t i = 0; i < n; ++i) {
            const int b = luma[i];
            const int e = luma[i + 1];
            out[2 * i] = half ? b >> 1 : b;
            out[2 * i + 1] = e > b ? (half ? ((e - 1) >> 1) + 1 : e) : out[2 * i];
        }
    };
    chroma(m_cxBounds, m_xBounds, halfChroma);
    chroma(m_cyBounds, m_yBounds, halfChromaRows);
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
        computeBounds(f.width, f.height, false, false);
        sumPacked32(f, 2, 1, 0);
        table = rgbMeans();
        break;
    case PixelFormat::Rgbx32:
        computeBounds(f.width, f.height, false, false);
        sumPacked32(f, 0, 1, 2);
        table = rgbMeans();
        break;
    case PixelFormat::Xrgb32:
        computeBounds(f.width, f.height, false, false);
        sumPacked32(f, 1, 2, 3);
        table = rgbMeans();
        break;
    case PixelFormat::Xbgr32:
        computeBounds(f.width, f.height, false, false);
        sumPacked32(f, 3, 2, 1);
        table = rgbMeans();
        break;
    case PixelFormat::Yuv420p:
    case PixelFormat::Yv12: {
        computeBounds(f.width, f.height, true, true);
        const bool swap = f.format == PixelFormat::Yv12;
        // Planar chroma: U and V planes share one stride in every layout we receive.
        if (f.strides[1] != f.strides[2])
            return {};
        sumYuv<1, 1>(f.planes[0], f.strides[0], 0, swap ? f.planes[2] : f.planes[1],
                     swap ? f.planes[1] : f.planes[2], f.strides[1]);
        table = yuvMeans(f);
        break;
    }
    case PixelFormat::Nv12:
    case PixelFormat::Nv21: {
        computeBounds(f.width, f.height, true, true);
        const bool swap = f.format == PixelFormat::Nv21;
        sumYuv<1, 2>(f.planes[0], f.strides[0], 0, f.planes[1] + (swap ? 1 : 0), f.planes[1] + (swap ? 0 : 1),
                     f.strides[1]);
        table = yuvMeans(f);
        break;
    }
    case PixelFormat::Yuyv:
    case PixelFormat::Uyvy: {
        computeBounds(f.width, f.height, true, false);
        const bool yuyv = f.format == PixelFormat::Yuyv;
        sumYuv<2, 4>(f.planes[0], f.strides[0], yuyv ? 0 : 1, f.planes[0] + (yuyv ? 1 : 0),
                     f.planes[0] + (yuyv ? 3 : 2), f.strides[0]);
        table = yuvMeans(f);
        break;
    }
    }
    return m_reduceNoise ? denoise(std::move(table)) : table;
}

void CellAnalyser::sumPacked32(const FrameView& f, int ro, int go, int bo)
{
    const std::size_t cols = std::size_t(m_columns);
    for (int gr = 0; gr < m_rows; ++gr) {
        quint64* rowSums = m_sums.data() + std::size_t(gr) * cols * 3;
        for (int y = m_yBounds[std::size_t(gr)]; y < m_yBounds[std::size_t(gr) + 1]; ++y) {
            const uchar* line = f.planes[0] + qsizetype(y) * f.strides[0];
            for (std::size_t c = 0; c < cols; ++c) {
                const uchar* p = line + qsizetype(m_xBounds[c]) * 4;
                const uchar* end = line + qsizetype(m_xBounds[c + 1]) * 4;
                // 32-bit span sums: a line is at most 2^20 pixels of at most 255.
                quint32 r = 0, g = 0, b = 0;
                for (; p < end; p += 4) {
                    r += p[ro];
                    g += p[go];
                    b += p[bo];
                }
                rowSums[c * 3] += r;
                rowSums[c * 3 + 1] += g;
                rowSums[c * 3 + 2] += b;
            }
        }
    }
}

template <int LumaStep, int ChromaStep>
void CellAnalyser::sumYuv(const uchar* luma, qsizetype lumaStride, int lumaOffset, const uchar* u, const uchar* v,
                          qsizetype chromaStride)
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
                for (; p < end; p += LumaStep)
                    s += *p;
                rowSums[c * 3] += s;
            }
        }
    }
    // Chroma into slots 1 and 2; rows of chroma samples are shared by neighbouring cells at odd bounds.
    m_chromaCounts.assign(std::size_t(m_columns) * std::size_t(m_rows), 0);
    for (int gr = 0; gr < m_rows; ++gr) {
        quint64* rowSums = m_sums.data() + std::size_t(gr) * cols * 3;
        quint64* rowCounts = m_chromaCounts.data() + std::size_t(gr) * cols;
        const int cy0 = m_cyBounds[std::size_t(gr) * 2];
        const int cy1 = m_cyBounds[std::size_t(gr) * 2 + 1];
        for (int cy = cy0; cy < cy1; ++cy) {
            const qsizetype lineOffset = qsizetype(cy) * chromaStride;
            const uchar* ul = u + lineOffset;
            const uchar* vl = v + lineOffset;
            for (std::size_t c = 0; c < cols; ++c) {
                const int cx0 = m_cxBounds[c * 2];
                const int cx1 = m_cxBounds[c * 2 + 1];
                quint32 su = 0, sv = 0;
                for (int cx = cx0; cx < cx1; ++cx) {
                    su += ul[qsizetype(cx) * ChromaStep];
                    sv += vl[qsizetype(cx) * ChromaStep];
                }
                rowSums[c * 3 + 1] += su;
                rowSums[c * 3 + 2] += sv;
                rowCounts[c] += quint64(cx1 - cx0);
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
    // Coefficients of R = Y + kr*V, G = Y - kgu*U - kgv*V, B = Y + kb*U on centred chroma.
    const bool bt709 = f.matrix == YuvMatrix::Bt709;
    const double kr = bt709 ? 1.5748 : 1.402;
    const double kgu = bt709 ? 0.187324 : 0.344136;
    const double kgv = bt709 ? 0.468124 : 0.714136;
    const double kb = bt709 ? 1.8556 : 1.772;
    const double yScale = f.fullRange ? 1.0 : 255.0 / 219.0;
    const double yBase = f.fullRange ? 0.0 : 16.0;
    const double cScale = f.fullRange ? 1.0 : 255.0 / 224.0;
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
            const quint64 nc = m_chromaCounts[cell];
            const std::size_t i = cell * 3;
            if (!n) {
                t.rgb[i] = t.rgb[i + 1] = t.rgb[i + 2] = 0;
                continue;
            }
            const double y = (double(m_sums[i]) / double(n) - yBase) * yScale;
            const double u = nc ? (double(m_sums[i + 1]) / double(nc) - 128.0) * cScale : 0.0;
            const double v = nc ? (double(m_sums[i + 2]) / double(nc) - 128.0) * cScale : 0.0;
            t.rgb[i] = clampByte(y + kr * v);
            t.rgb[i + 1] = clampByte(y - kgu * u - kgv * v);
            t.rgb[i + 2] = clampByte(y + kb * u);
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
