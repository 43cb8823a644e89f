// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/MarkPath.h"

#include <optional>
#include <vector>

// Follows the mark across the whole picture, frame by frame, to tell which way it moves in each pass. Every cell of
// the grid keeps its plain value, learnt from the frames in which the mark does not change it, and its noise; a
// frame's cells that stand well off their plain value (the light common to the frame divided out) place the mark.
// A pass lasts from the first frame that shows the mark to the last before EndFrames that do not.
class PassDirection
{
public:
    static constexpr int EndFrames = 2;
    // The slowest mark, of a disc turning at 50 W on 75 revolutions a kWh, passes in under four minutes.
    static constexpr double MaxPassSeconds = 600.0;

    // One frame taken at clock time `time`: its cell values (columns x rows, row by row), `darker` when the mark
    // darkens the disc.
    void frame(double time, const std::vector<double>& cells, int columns, int rows, bool darker);
    // A pass shows the mark now, or has not yet been given EndFrames without it.
    bool inPass() const { return m_inPass; }
    // The pass in view, or the one that ended with the last frame.
    const MarkPath& path() const { return m_path; }
    // The pass ended with the last frame.
    bool passEnded() const { return m_ended; }
    void clear();

private:
    // The mark's place in the frame, weight 0 when it shows nowhere.
    MarkPlace place(const std::vector<double>& cells, int columns, int rows, bool darker);

    std::vector<double> m_plain;
    std::vector<double> m_noise;    // of each cell's value over its plain one
    std::vector<double> m_previous; // the cells of the frame before, and its light
    double m_previousLight = 1.0;
    MarkPath m_path;
    bool m_inPass = false;
    bool m_ended = false;
    int m_framesWithout = 0;
    double m_passStart = 0.0;
};
