// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/MinuteWindow.h"

void MinuteWindow::clear()
{
    for (MinuteSlot& s : m_slots)
        s = MinuteSlot{};
    m_pointer = 1;
    m_full = false;
}

void MinuteWindow::closeMinute(qint32 pulses, const QDateTime& time, double revsPerKWH, double cost, qint16 tariff)
{
    if (m_pointer > size()) {
        m_pointer = 1;
        m_full = true;
    }
    MinuteSlot& s = m_slots[static_cast<size_t>(m_pointer - 1)];
    s.pulses = pulses;
    s.time = time;
    s.energy = pulses / revsPerKWH;
    s.cost = cost;
    s.tariff = tariff;
    s.closed = true;
    ++m_pointer;
}

WindowAverages MinuteWindow::averages() const
{
    double sumEnergy = 0.0;
    double sumCost = 0.0;
    int n = 1;
    for (int i = 1; i <= size(); ++i) {
        const MinuteSlot& s = slot(i);
        if (s.closed) {
            sumEnergy += s.energy;
            sumCost += s.cost;
            n = i;
        }
    }
    return WindowAverages{sumEnergy * 60.0 / n, sumCost * 60.0 / n};
}
