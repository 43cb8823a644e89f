// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/PeakRing.h"

double PeakRing::add(qint32 peak, int kept)
{
    // Fewer to keep than counted: the ring starts again.
    if (m_count > kept) {
        m_count = 0;
        m_index = 0;
    }
    if (m_count < kept)
        ++m_count;
    if (m_index < kept)
        ++m_index;
    else
        m_index = 1;
    m_peaks[std::size_t(m_index - 1)] = peak;

    double sum = 0.0;
    for (int slot = 0; slot < m_count; ++slot)
        sum += m_peaks[std::size_t(slot)];
    return sum / m_count;
}

void PeakRing::clear()
{
    m_peaks.fill(0);
    m_index = 0;
    m_count = 0;
}
