// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/PassDirection.h"

#include "app/Clock.h"
#include "camera/MarkLevels.h"

#include <algorithm>
#include <cmath>

namespace {
// How fast a cell's plain value and noise follow the frames that show it plain, the light common to the whole picture
// divided out. Only a frame less than PlainNoise times the noise towards the mark's shade teaches it, so that a slow
// mark, darkening a cell over many seconds, is not followed on its way to standing off it; and each frame's share of
// the noise from one frame to the next is bounded.
constexpr double PlainFollow = 0.05;
constexpr double PlainNoise = 2.0;
constexpr double NoiseFollow = 0.01;
constexpr double NoiseSampleBound = 2.0;
constexpr double StartNoise = 0.02;
// A cell shows the mark when it stands this many times its noise off its plain value, and at least this share.
constexpr double ChangeOverNoise = 6.0;
constexpr double LeastChange = 0.2;
} // namespace

void PassDirection::clear()
{
    *this = {};
}

MarkPlace PassDirection::place(const std::vector<double>& cells, int columns, int rows, bool darker)
{
    if (m_plain.size() != cells.size()) {
        m_plain = cells;
        m_noise.assign(cells.size(), StartNoise);
        m_previous = cells;
    }
    // The light of the frame against the plain values: the median cell's, which the mark never covers most of; then
    // again without the cells the mark covers, which would pull it away from the plain disc's.
    std::vector<double> changes(cells.size(), 0.0);
    std::vector<bool> covered(cells.size(), false);
    double light = 1.0;
    for (const bool again : {false, true}) {
        std::vector<double> ratios;
        for (std::size_t c = 0; c < cells.size(); ++c)
            if (m_plain[c] > 0 && !(again && covered[c]))
                ratios.push_back(cells[c] / m_plain[c]);
        light = ratios.empty() ? 1.0 : std::max(medianOf(ratios), 1e-6);
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const double plain = m_plain[c] * light;
            changes[c] = plain > 0 ? (darker ? plain - cells[c] : cells[c] - plain) / plain : 0.0;
            covered[c] = changes[c] >= std::max(LeastChange, ChangeOverNoise * m_noise[c]);
        }
    }
    // The mark covers cells side by side; a cell standing off on its own is noise or a glint.
    const auto coveredAt = [&](int column, int row) {
        return column >= 0 && row >= 0 && column < columns && row < rows &&
               covered[std::size_t(row) * std::size_t(columns) + std::size_t(column)];
    };
    // The noise is learnt from each cell's change since the frame before, which a slow mark hardly moves and a fast
    // one moves only now and then: each frame's share is bounded.
    for (std::size_t c = 0; c < cells.size(); ++c)
        if (m_plain[c] > 0) {
            const double step =
                std::abs(cells[c] / light - m_previous[c] / m_previousLight) / m_plain[c] / std::sqrt(2.0);
            m_noise[c] += NoiseFollow * (std::min(step, NoiseSampleBound * m_noise[c]) - m_noise[c]);
        }
    m_previous = cells;
    m_previousLight = light;
    MarkPlace at;
    for (std::size_t c = 0; c < cells.size(); ++c) {
        const double change = changes[c];
        const int column = int(c % std::size_t(columns));
        const int row = int(c / std::size_t(columns));
        if (covered[c]) {
            if (coveredAt(column - 1, row) || coveredAt(column + 1, row) || coveredAt(column, row - 1) ||
                coveredAt(column, row + 1)) {
                at.x += change * (column + 0.5) / columns;
                at.y += change * (row + 0.5) / rows;
                at.weight += change;
            }
            continue;
        }
        // Shown plain: the cell learns from it, and from any frame lighter than its plain value (a cell first seen
        // under the mark).
        if (change <= PlainNoise * m_noise[c])
            m_plain[c] += PlainFollow * (cells[c] / light - m_plain[c]);
    }
    if (at.weight > 0) {
        at.x /= at.weight;
        at.y /= at.weight;
    }
    return at;
}

void PassDirection::frame(double time, const std::vector<double>& cells, int columns, int rows, bool darker)
{
    if (columns <= 0 || rows <= 0 || cells.size() != std::size_t(columns) * std::size_t(rows))
        return;
    if (m_ended) {
        m_path.clear();
        m_ended = false;
    }
    const MarkPlace at = place(cells, columns, rows, darker);
    if (at.weight > 0 && m_inPass && SecondsBetween(time, m_passStart) > MaxPassSeconds) {
        // Longer than the slowest mark takes to pass: the picture itself changed (a shadow, a moved camera). What it
        // shows now is the plain picture.
        m_plain.clear();
        m_path.clear();
        m_inPass = false;
        return;
    }
    if (at.weight > 0) {
        if (!m_inPass)
            m_passStart = time;
        m_inPass = true;
        m_framesWithout = 0;
        m_path.add(at);
    } else if (m_inPass && ++m_framesWithout >= EndFrames) {
        m_inPass = false;
        m_ended = true;
    }
}
