// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <vector>

// The light on the picture against the plain disc at the start, frame by frame, so that a light switched on or off,
// a lamp's flicker or the camera's exposure hunting is never taken for a mark and never hides one.
//
// Each cell is measured against its own plain value. A change of light changes every cell alike; a mark changes only
// the cells it crosses, and only one way (a dark mark darkens them). So the light is read from the cells that changed
// least the mark's way: a high share of them for a dark mark, a low one for a light mark. A fast mark blurred over
// most of the disc's edge leaves the rest of the picture (the meter's plate, its glass) to read it from.
class LightFollower
{
public:
    // The next plain frames make the reference again.
    void restart();
    // Every cell's value this frame (the sum of its channels, in the grid's order, the same cells every frame).
    // plain: the detector takes the frame for the plain disc; only such frames make the reference. darkMark: the
    // mark darkens the cells it crosses.
    void addFrame(const std::vector<double>& cells, bool plain, bool darkMark);
    // 1 until a reference is made; other cells or the other way of the mark start anew.
    double light() const { return m_light; }

private:
    // The light the cells show against the reference, before the baseline is taken out.
    double measure(const double* cells);

    std::size_t m_cells = 0;
    bool m_darkMark = true;
    std::vector<double> m_samples;   // every cell's value in the plain frames the reference is taken from
    std::vector<double> m_reference; // every cell's plain value
    double m_baseline = 1.0;         // what measure() gives on the reference frames themselves
    double m_light = 1.0;
    std::vector<double> m_ratios;
};
