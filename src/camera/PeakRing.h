// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <array>

// The peak intensities of the last marks, up to 100, and their average: how bright the mark comes, which the
// trigger level may follow as the light changes.
class PeakRing
{
public:
    static constexpr int Slots = 100;

    // Adds a mark's peak, keeping the last `kept` (1..Slots) in turn; the average of those kept.
    double add(qint32 peak, int kept);
    void clear();

    qint16 index() const { return m_index; }
    qint16 count() const { return m_count; }
    // Slot 1..100.
    qint32 slot(int slot) const { return m_peaks[std::size_t(slot - 1)]; }

private:
    std::array<qint32, Slots> m_peaks{};
    qint16 m_index = 0;
    qint16 m_count = 0;
};
