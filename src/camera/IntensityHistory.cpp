// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/IntensityHistory.h"

#include "metering/PulseSignal.h"

#include <algorithm>
#include <cmath>

void IntensityHistory::add(double clockTime, qint32 intensity, bool revolution)
{
    const double time = m_samples.empty() ? 0.0 : m_samples.back().time + SecondsBetween(clockTime, m_lastClock);
    m_lastClock = clockTime;
    m_samples.push_back({time, intensity, revolution});
    while (m_samples.front().time < time - m_window)
        m_samples.pop_front();
}

void IntensityHistory::clear()
{
    m_samples.clear();
}

int IntensityHistory::revolutions() const
{
    return int(std::count_if(m_samples.begin(), m_samples.end(), [](const Sample& s) { return s.revolution; }));
}

std::vector<IntensityHistory::Column> IntensityHistory::columns(int count) const
{
    std::vector<Column> out(std::size_t(std::max(count, 0)));
    if (out.empty() || m_samples.empty())
        return out;
    const double start = m_samples.back().time - m_window;
    for (const Sample& s : m_samples) {
        const int index = std::clamp(int(std::floor((s.time - start) / m_window * count)), 0, count - 1);
        Column& c = out[std::size_t(index)];
        if (c.empty) {
            c.low = c.high = s.intensity;
            c.empty = false;
        } else {
            c.low = std::min(c.low, s.intensity);
            c.high = std::max(c.high, s.intensity);
        }
        c.revolution = c.revolution || s.revolution;
    }
    return out;
}
