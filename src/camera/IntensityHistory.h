// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <deque>
#include <vector>

// The image intensities of the frames of the last seconds, each marked when it counted a revolution: what
// the strip chart of the camera setup screen draws so that a trigger level and a debounce can be chosen at
// a glance.
class IntensityHistory
{
public:
    struct Sample
    {
        double time = 0.0; // seconds on a scale that keeps running across midnight
        qint32 intensity = 0;
        bool revolution = false;
    };

    // One pixel column of the chart: the range of the intensities that fell into it.
    struct Column
    {
        bool empty = true;
        qint32 low = 0;
        qint32 high = 0;
        bool revolution = false;
    };

    explicit IntensityHistory(double windowSeconds = 30.0) : m_window(windowSeconds) {}

    // clockTime in seconds since midnight; samples older than the window before the newest are dropped.
    void add(double clockTime, qint32 intensity, bool revolution);
    void clear();

    double windowSeconds() const { return m_window; }
    const std::deque<Sample>& samples() const { return m_samples; }
    int revolutions() const;

    // The window that ends at the newest sample in `count` equal columns, oldest first. Thousands of frames
    // reduce to one range per column, so drawing costs the same at any frame rate.
    std::vector<Column> columns(int count) const;

private:
    double m_window;
    double m_lastClock = 0.0;
    std::deque<Sample> m_samples;
};
