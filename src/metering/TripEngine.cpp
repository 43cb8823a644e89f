// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/TripEngine.h"

#include "app/Clock.h"
#include "app/Dialogs.h"
#include "app/TextFormat.h"
#include "metering/MeteringContext.h"
#include "metering/PowerBound.h"
#include "metering/PulseSignal.h"
#include "metering/RunCalculations.h"
#include "metering/Tariffs.h"

TripEngine::TripEngine(MeteringContext& ctx, QObject* parent) : QObject(parent), m_ctx(ctx)
{
    m_ctx.refreshTripDisplay = [this] { RefreshTripDisplay(); };
}

TripEngine::~TripEngine()
{
    m_ctx.refreshTripDisplay = nullptr;
}

void TripEngine::load()
{
    m_baselineSet = false;
    m_baselinePower = 0.0;
    m_baselineCost = 0.0;
    m_display.baselineCaption = QStringLiteral("Set Baseline");
    const GlobalSettings& s = m_ctx.settings;
    m_display.Label5 = QStringLiteral("Total ") + s.ENERGY_TITLE + QStringLiteral(" since last reset");
    m_display.currencyTitle = s.CURRENCY_TITLE;
    m_display.powerTitle = s.POWER_TITLE;
    RefreshTripDisplay();
    ClearTripDisplay();
}

void TripEngine::StartTrip()
{
    m_ctx.trip.timerTicksCounted = 0;
    m_ctx.trip.timeLastScreenUpdateEvent = m_ctx.services.clock.timer();
    ResetTrip();
    RefreshTripDisplay();
    m_display.timerIntervalMilliseconds = m_ctx.settings.TIMER_TICK_MILLISECONDS;
    m_display.timerEnabled = true;
    m_ctx.blnGlobalTripRunning = true;
    changed();
}

void TripEngine::StopTrip()
{
    m_display.timerIntervalMilliseconds = m_ctx.settings.TIMER_TICK_MILLISECONDS;
    m_display.timerEnabled = false;
    m_ctx.blnGlobalTripRunning = false;
    RefreshTripDisplay();
}

void TripEngine::ResetTrip()
{
    ResetRunState(m_ctx, m_ctx.trip);
    LoadWorkingMeterValues(m_ctx);
    RefreshTripDisplay();
}

bool TripEngine::TripTimer()
{
    return CloseRunMinute(m_ctx, m_ctx.trip);
}

void TripEngine::TripCalculations()
{
    CalculateRunAverages(m_ctx.trip);
}

void TripEngine::updateButtons()
{
    const bool running = m_ctx.blnGlobalTripRunning;
    m_display.startEnabled = !running;
    m_display.stopEnabled = running;
    m_display.resetEnabled = running;
    m_display.Label22 = running ? QStringLiteral("STATUS: RUNNING") : QStringLiteral("STATUS: STOPPED");
    m_display.markOn = m_ctx.blnGlobalMarkOn;
}

void TripEngine::RefreshTripDisplay()
{
    const QDateTime now = m_ctx.services.clock.now();
    if (m_ctx.blnGlobalTripRunning) {
        const RunState& t = m_ctx.trip;
        const PulseState& p = m_ctx.pulse;
        const GlobalSettings& s = m_ctx.settings;
        const QLocale& loc = m_ctx.locale;
        const qint32 elapsed = WholeSecondsBetween(t.startTime, now);
        m_display.Text1 = GeneralDateFormat(loc).format(t.startTime);
        m_display.Text3 = QString::number(elapsed);
        m_display.Text3a = ElapsedTimeText(elapsed);
        m_display.Text4 = QString::number(t.totalPulse);
        m_display.Text5 = RoundedText(t.totalKWH, s.ENERGY_ROUNDING_PLACES, loc);
        m_display.Text6 = RoundedText(t.totalCost, s.COST_ROUNDING_PLACES, loc);
        m_display.Text7 = RoundedText(t.avg5minKWH, s.POWER_ROUNDING_PLACES, loc);
        m_display.Text8 = RoundedText(t.avg5minCost, s.COST_ROUNDING_PLACES, loc);
        m_display.Text9 = RoundedText(t.avg1hourKWH, s.POWER_ROUNDING_PLACES, loc);
        m_display.Text10 = RoundedText(t.avg1hourCost, s.COST_ROUNDING_PLACES, loc);
        m_display.Text11 = RoundedText(p.dblGlobalInstantKW - m_baselinePower, s.POWER_ROUNDING_PLACES, loc);
        m_display.Text12 = RoundedText(p.dblGlobalInstantCostPerHour - m_baselineCost, s.COST_ROUNDING_PLACES, loc);
        m_display.powerNow = PowerNowText(m_ctx);
        m_display.tariff = TariffText(m_ctx);
    } else {
        m_display.powerNow.clear();
        m_display.tariff.clear();
    }
    updateButtons();
    changed();
}

void TripEngine::ClearTripDisplay()
{
    m_display.clearFigures();
    m_display.startEnabled = !m_ctx.blnGlobalTripRunning;
    m_display.stopEnabled = m_ctx.blnGlobalTripRunning;
    m_display.markOn = m_ctx.blnGlobalMarkOn;
    changed();
}

void TripEngine::toggleBaseline()
{
    if (m_baselineSet) {
        m_baselinePower = 0.0;
        m_baselineCost = 0.0;
        m_baselineSet = false;
        m_display.baselineCaption = QStringLiteral("Set Baseline");
    } else {
        m_baselineSet = true;
        m_display.baselineCaption = QStringLiteral("Clear Baseline");
        m_baselinePower = m_ctx.pulse.dblGlobalInstantKW;
        m_baselineCost = m_ctx.pulse.dblGlobalInstantCostPerHour;
    }
    changed();
}

void TripEngine::tick()
{
    // TripTimer waits while events run; a tick arriving then must not close the same minute again.
    if (m_inTick || !m_ctx.blnGlobalTripRunning)
        return;
    m_inTick = true;
    RunState& t = m_ctx.trip;
    const double now = m_ctx.services.clock.timer();
    if (SecondsBetween(now, t.timeLastCalculationEvent) >= 60.0) {
        if (!TripTimer()) {
            // Reset or restarted while the minute waited: the new trip keeps its own start times.
            m_inTick = false;
            return;
        }
        TripCalculations();
        RefreshTripDisplay();
        t.timeLastCalculationEvent = TruncateSeconds(now);
    }
    if (m_ctx.settings.TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS / 1000.0 <=
        SecondsBetween(now, t.timeLastScreenUpdateEvent)) {
        RefreshTripDisplay();
        t.timeLastScreenUpdateEvent = now;
    }
    m_inTick = false;
}

void TripEngine::startButton()
{
    StartTrip();
    RefreshTripDisplay();
}

void TripEngine::stopButton()
{
    StopTrip();
    RefreshTripDisplay();
}

void TripEngine::resetButton()
{
    ResetTrip();
    RefreshTripDisplay();
    m_display.Text11.clear();
    m_display.Text12.clear();
    m_display.powerNow.clear();
    changed();
}

bool TripEngine::canClose()
{
    if (!m_ctx.blnGlobalTripRunning)
        return true;
    m_ctx.services.dialogs.message(QStringLiteral("Please stop this trip screen before trying to close it"));
    return false;
}
