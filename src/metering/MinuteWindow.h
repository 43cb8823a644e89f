// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QtGlobal>
#include <vector>

// One closed minute of a rolling window.
struct MinuteSlot
{
    qint32 pulses = 0;
    QDateTime time = QDateTime(QDate(1960, 1, 1), QTime(0, 0));
    double energy = 0.0; // kWh
    double cost = 0.0;
    qint16 tariff = 0;
    bool closed = false;
};

struct WindowAverages
{
    double power = 0.0;       // kW
    double costPerHour = 0.0; // currency unit per hour
};

// A ring of closed minutes (5 for the 5-minute window, 60 for the hour). The pointer is 1-based and may
// stand one past the end until the next minute closes, when it wraps.
class MinuteWindow
{
public:
    explicit MinuteWindow(int size) : m_slots(static_cast<size_t>(size)) {}

    void clear();
    // `cost` is the minute's, its revolutions priced at the tariffs they were counted in.
    void closeMinute(qint32 pulses, const QDateTime& time, double revsPerKWH, double cost, qint16 tariff);
    // Sum over the closed slots times 60, divided by the highest closed slot number (1 when none closed).
    WindowAverages averages() const;

    int size() const { return static_cast<int>(m_slots.size()); }
    qint16 pointer() const { return m_pointer; }
    bool full() const { return m_full; }
    const MinuteSlot& slot(int oneBased) const { return m_slots[static_cast<size_t>(oneBased - 1)]; }

private:
    std::vector<MinuteSlot> m_slots;
    qint16 m_pointer = 1;
    bool m_full = false;
};
