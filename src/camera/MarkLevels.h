// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <algorithm>
#include <vector>

template <typename T> T medianOf(std::vector<T> v)
{
    if (v.empty())
        return T{};
    const auto mid = v.begin() + std::ptrdiff_t(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

// What the detector would see of a watch with one choice of cells and colours: its image intensity frame by
// frame, scaled so that the plain disc reads about 1000, and the levels and times it would need. Find Mark
// measures several choices this way and keeps the best.
struct MarkLevels
{
    struct Range
    {
        int first = 0; // frame indexes, inclusive
        int last = 0;
    };

    // averages: the detector's cell average of every frame; plain: the frames that show the plain disc;
    // passes: the frames of each complete pass of the mark.
    MarkLevels(const std::vector<qint32>& averages, bool invert, const std::vector<bool>& plain,
               const std::vector<Range>& passes);

    // Longer than any dip below the trigger inside a pass, shorter than half the shortest revolution.
    qint32 debounceMs(const std::vector<double>& times, double& shortestRevolution) const;
    // Whether the plain disc's level moved noticeably while watching.
    bool drifted(const std::vector<double>& times) const;
    // The share of a change of the mark's peak that keeps the trigger in proportion to it.
    qint16 trackPercent() const;

    std::vector<qint32> intensity;
    qint32 factor = 0;
    qint32 trigger = 0;
    qint32 plainLevel = 0; // median of the plain disc
    qint32 plainHigh = 0;  // highest plain-disc intensity
    qint32 minPeak = 0;    // weakest peak of a pass
    double meanPeak = 0.0;
    double separation = 0.0; // minPeak / plainHigh; 0 when the mark does not clear the plain disc
    int minAbove = 0;        // frames at or above the trigger in the shortest pass

private:
    const std::vector<bool>& m_plain;
    const std::vector<Range>& m_passes;
};
