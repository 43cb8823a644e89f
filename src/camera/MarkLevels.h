// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/Threshold.h"

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
//
// The levels must hold at every speed, not only the one watched. A slowly passing mark's edge carries the
// plain disc's frame-to-frame noise across the trigger many times, so a present mark ends only below a release
// level that lies that noise below the trigger. A fast disc shows its mark in a frame or two, blurred or
// caught at a poor moment, so the weakest peak is also judged as the fastest disc would give it.
struct MarkLevels
{
    struct Range
    {
        int first = 0; // frame indexes, inclusive
        int last = 0;
    };

    // averages: the detector's cell average of every frame; plain: the frames that show the plain disc;
    // passes: the frames of each complete pass of the mark; speedUp: how many times faster than while watching
    // the disc may turn (1 or more).
    MarkLevels(const std::vector<qint32>& averages, bool invert, const std::vector<bool>& plain,
               const std::vector<Range>& passes, double speedUp);

    // Longer than any dip below the release inside a pass, shorter than half the gap between two passes of
    // the fastest disc, whose revolution takes `fastestRevolution` seconds.
    qint32 debounceMs(const std::vector<double>& times, double fastestRevolution) const;
    // The release level as a share of the trigger.
    qint32 releasePercent() const;

    std::vector<qint32> intensity;
    qint32 factor = 0;
    qint32 trigger = 0;
    qint32 release = 0;    // a present mark ends below this
    qint32 plainLevel = 0; // median of the plain disc
    qint32 plainHigh = 0;  // highest plain-disc intensity
    qint32 minPeak = 0;    // weakest peak of a pass
    qint32 fastPeak = 0;   // weakest peak of a pass as the fastest disc would show it
    double noise = 0.0;    // the plain disc's frame-to-frame noise on a log scale
    // Room on a log scale between the plain disc and the weakest fast peak once the noise of the plain disc
    // has been set aside twice (above the plain disc, and between release and trigger); 0 when none is left.
    double room = 0.0;

private:
    qint32 peakAtSpeed(const std::vector<qint32>& averages, bool invert, const Range& pass, double speedUp) const;

    const std::vector<bool>& m_plain;
    const std::vector<Range>& m_passes;
    double m_speedUp = 1.0;
};
