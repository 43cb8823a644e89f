// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "metering/PulseObserver.h"

#include <QDateTime>

// The energy and its cost counted today: since local midnight, or since the program started when that was later.
// Net of turns backwards; the cost in the price's own units, at the price in force for each revolution.
class DayTotals : public PulseObserver
{
public:
    struct Figures
    {
        QDateTime since;
        double kWh = 0.0;
        double cost = 0.0;
    };

    explicit DayTotals(MeteringContext& ctx);
    ~DayTotals() override;
    DayTotals(const DayTotals&) = delete;
    DayTotals& operator=(const DayTotals&) = delete;

    void revolutionCounted(const MeteringContext& ctx, const MeterSource& source) override;
    // As of the clock's now: a new day starts them again.
    Figures today();

private:
    void followDay();

    MeteringContext& m_ctx;
    Figures m_today;
};
