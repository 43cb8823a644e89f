// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "metering/CameraState.h"
#include "publish/PublishPayloads.h"

#include <optional>

struct MeteringContext;
class MeterReadingStore;
class RegisterWatch;
class RetainedSink;

// Counts of every revolution since the program started, whether publishing was on or not; net of those that turned
// backwards.
struct MeterTotals
{
    double energyKwh = 0.0;
    qint64 revolutions = 0;
    // The same each way, for counters that never go down: backwards only while the disc's direction is counted.
    double energyForwardKwh = 0.0;
    double energyBackwardKwh = 0.0;
    qint64 revolutionsForward = 0;
    qint64 revolutionsBackward = 0;
};

// Turns revolutions into retained messages: "online" and the discovery configs (cleared while discovery is off) at
// start and again when the tariff or direction settings they show change (their screens apply without publishing), a
// state message on each revolution but at most one a second (later revolutions are merged into the next one, a switch
// of tariff goes with the next one too), and one at least every minute, so a dashboard sees the meter is alive while
// the disc stands still. While the disc is overdue the power is the falling cap (PowerBound), sent at least every 5 s
// so a dashboard follows a load that went off instead of holding the old power until the next revolution. While the
// camera does not count, the power is unknown (it may miss revolutions), and so it is from a camera start until a
// revolution is timed; the state says what the camera is doing, and each change of that goes out at once. Energy,
// reading, cost and power take every revolution at the meter constant and price in force when it was counted. While
// the register's wheels are read, the state carries the last whole read, BASE/register whether it differs from the
// count, and the configs offer their entities.
class MeterPublisher
{
public:
    static constexpr double MinSecondsBetweenStates = 1.0;
    static constexpr double MaxSecondsBetweenStates = 60.0;
    static constexpr double MaxSecondsBetweenFallingStates = 5.0;

    // deviceId: what Home Assistant knows the meter by (PublishTopics::deviceId). watch: none where the register is
    // never read.
    MeterPublisher(MeteringContext& ctx, RetainedSink& sink, const MeterTotals& totals,
                   const MeterReadingStore& reading, const QString& deviceId, const RegisterWatch* watch = nullptr);

    void revolutionCounted();
    // The meter reading was set or moved, or the register read: it goes with the next state, at most a second from
    // now. Never at once, as a revolution moves the reading just before it is counted here and one state carries both.
    void readingChanged() { m_pending = true; }
    // Sends the merged state once its second has passed, and the minute's state; a timer calls it often.
    void tick();
    qint64 statesSent() const { return m_statesSent; }

private:
    void publishConfigs();
    // A change of the tariff settings, of the tariff in force or of COUNT_DIRECTION, made elsewhere, shows at the
    // next tick.
    void followSettings();
    void sendState();
    double secondsSinceLastState();
    bool registerRead() const;
    void publishRegisterCheck();

    MeteringContext& m_ctx;
    RetainedSink& m_sink;
    const MeterTotals& m_totals;
    const MeterReadingStore& m_reading;
    const RegisterWatch* m_watch;
    PublishTopics m_topics;
    double m_lastStateTimer = 0.0;
    bool m_pending = false;
    QString m_deviceId;
    QStringList m_configsShown; // the settings applied elsewhere that the configs were published for
    qint16 m_sentTariff = 0;
    CameraState m_sentCamera = CameraState::Stopped;
    qint64 m_statesSent = 0;
    std::optional<QByteArray> m_sentRegisterCheck; // none before the first state: a stale one is cleared then
};
