// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publish/PublishPayloads.h"

struct MeteringContext;
class MeterReadingStore;
class RetainedSink;

// Counts of every revolution since the program started, whether publishing was on or not.
struct MeterTotals
{
    double energyKwh = 0.0;
    qint64 revolutions = 0;
};

// Turns revolutions into retained messages: "online" and the discovery configs (cleared while discovery is
// off) at start and again when the number of tariffs changes, a state message on each revolution but at most one
// a second (later revolutions are merged into the next one, a switch of tariff goes with the next one too), and one
// at least every minute, so a dashboard sees the meter is alive while the disc stands still. While the disc is overdue
// the power is the falling cap (PowerBound), sent at least every 5 s so a dashboard follows a load that went off
// instead of holding the old power until the next revolution.
class MeterPublisher
{
public:
    static constexpr double MinSecondsBetweenStates = 1.0;
    static constexpr double MaxSecondsBetweenStates = 60.0;
    static constexpr double MaxSecondsBetweenFallingStates = 5.0;

    MeterPublisher(MeteringContext& ctx, RetainedSink& sink, const MeterTotals& totals,
                   const MeterReadingStore& reading);

    void revolutionCounted();
    // The meter reading was set or moved: it goes with the next state, at most a second from now. Never at
    // once, as a revolution moves the reading just before it is counted here and one state carries both.
    void readingChanged() { m_pending = true; }
    // Sends the merged state once its second has passed, and the minute's state; a timer calls it often.
    void tick();
    qint64 statesSent() const { return m_statesSent; }

private:
    void publishConfigs();
    // A change of the tariff settings or of the tariff in force, made elsewhere, shows at the next tick.
    void followTariffs();
    void addTariffs(MeterReading& r) const;
    void sendState();
    double secondsSinceLastState();

    MeteringContext& m_ctx;
    RetainedSink& m_sink;
    const MeterTotals& m_totals;
    const MeterReadingStore& m_reading;
    PublishTopics m_topics;
    double m_lastStateTimer = 0.0;
    bool m_pending = false;
    qint32 m_configsTariffCount = 0; // the TARIFF_COUNT the configs were published for
    qint16 m_sentTariff = 0;
    qint64 m_statesSent = 0;
};
