// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/LightFollower.h"

#include "camera/MarkLevels.h"

#include <algorithm>

namespace {
// Frames of the plain disc the reference is the median of: one frame with a fast mark blurred across most of the
// picture would otherwise be taken for the plain disc.
constexpr std::size_t ReferenceFrames = 25;
// Cells darker than this (the sum of their three channels) say little about the light.
constexpr double MinReferenceSum = 24.0;
// The share of the cells, ordered the mark's way, the light is read at: a mark may cover up to nine in ten.
constexpr double Share = 0.9;
} // namespace

void LightFollower::restart()
{
    m_cells = 0;
    m_samples.clear();
    m_reference.clear();
    m_baseline = 1.0;
    m_light = 1.0;
}

double LightFollower::measure(const double* cells)
{
    // Kept between frames: this runs for every frame.
    std::vector<double>& ratios = m_ratios;
    ratios.clear();
    for (std::size_t c = 0; c < m_cells; ++c)
        if (m_reference[c] >= MinReferenceSum)
            ratios.push_back(cells[c] / m_reference[c]);
    if (ratios.empty())
        return 1.0;
    const auto at = ratios.begin() + std::ptrdiff_t((m_darkMark ? Share : 1.0 - Share) * double(ratios.size() - 1));
    std::nth_element(ratios.begin(), at, ratios.end());
    return std::max(*at, 0.01);
}

void LightFollower::addFrame(const std::vector<double>& cells, bool plain, bool darkMark)
{
    if (cells.size() != m_cells || darkMark != m_darkMark) {
        restart();
        m_cells = cells.size();
        m_darkMark = darkMark;
    }
    if (m_reference.empty()) {
        if (!plain)
            return;
        m_samples.insert(m_samples.end(), cells.begin(), cells.end());
        if (m_samples.size() < m_cells * ReferenceFrames)
            return;
        m_reference.resize(m_cells);
        std::vector<double> frames(ReferenceFrames);
        for (std::size_t c = 0; c < m_cells; ++c) {
            for (std::size_t f = 0; f < ReferenceFrames; ++f)
                frames[f] = m_samples[f * m_cells + c];
            m_reference[c] = medianOf(frames);
        }
        // A high share of noisy cells lies above 1 on the plain disc itself: that much is the noise, not the light.
        for (std::size_t f = 0; f < ReferenceFrames; ++f)
            frames[f] = measure(&m_samples[f * m_cells]);
        m_baseline = medianOf(frames);
        m_samples = {};
        return;
    }
    m_light = measure(cells.data()) / m_baseline;
}
