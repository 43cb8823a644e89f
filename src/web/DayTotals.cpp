// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/DayTotals.h"

#include "app/Clock.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"

#include <algorithm>

DayTotals::DayTotals(MeteringContext& ctx) : m_ctx(ctx)
{
    m_today.since = m_ctx.services.clock.now();
    m_ctx.pulseObservers.push_back(this);
}

DayTotals::~DayTotals()
{
    std::erase(m_ctx.pulseObservers, this);
}

void DayTotals::followDay()
{
    const QDate day = m_ctx.services.clock.now().date();
    if (m_today.since.date() != day)
        m_today = {day.startOfDay(), 0.0, 0.0};
}

void DayTotals::revolutionCounted(const MeteringContext& ctx, const MeterSource&)
{
    followDay();
    const MeterValues& counted = ctx.pulse.counted;
    const double kWh = TurnSign(ctx.pulse) / counted.revsPerKWh;
    m_today.kWh += kWh;
    m_today.cost += kWh * counted.costPerKWh;
}

DayTotals::Figures DayTotals::today()
{
    followDay();
    return m_today;
}
