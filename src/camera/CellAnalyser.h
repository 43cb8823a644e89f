// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/CellTable.h"
#include "camera/FrameView.h"

#include <array>
#include <deque>
#include <vector>

// Reduces a frame to per-cell red, green and blue means in one pass over its lines. The grid covers the
// whole image: column c spans x from floor(c*W/C) to floor((c+1)*W/C), rows likewise, so leftover pixels
// are spread over the cells instead of dropped. YUV frames are summed per plane and only the cell means are
// converted to RGB, which is the same as converting every pixel first because the conversion is linear.
//
// Noise reduction: each reported value is the median of that cell's last three frames. It removes one-frame
// spikes (sensor impulse noise, lamp flicker, a damaged frame) and delays a real change by one frame.
//
// Not thread-safe; one analyser per capture thread.
class CellAnalyser
{
public:
    void setGrid(int columns, int rows);
    void setReduceNoise(bool on);
    int columns() const { return m_columns; }
    int rows() const { return m_rows; }

    // An invalid frame or an empty grid gives an empty table.
    CellTable analyse(const FrameView& frame);

private:
    void computeBounds(int width, int height);
    void sumPacked32(const FrameView& f, int ro, int go, int bo);
    template <int LumaStep, int ChromaStep>
    void sumYuv(const uchar* luma, qsizetype lumaStride, int lumaOffset, const uchar* u, const uchar* v,
                qsizetype chromaStride, bool halfRows);
    CellTable rgbMeans() const;
    CellTable yuvMeans(const FrameView& f) const;
    CellTable denoise(CellTable&& current);

    int m_columns = 0;
    int m_rows = 0;
    bool m_reduceNoise = false;
    std::vector<int> m_xBounds, m_yBounds; // columns+1, rows+1 pixel bounds
    std::vector<quint64> m_sums;           // 3 per cell
    std::deque<CellTable> m_history;       // the previous frames, for the median
};
