// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "metering/PulseObserver.h"
#include "publish/MeterPublisher.h"
#include "publish/MqttClient.h"

#include <QObject>
#include <QTimer>
#include <memory>

struct GlobalSettings;

// Publishing as the program runs it: counts every revolution from start, and while PUBLISH_MQTT is on
// keeps a broker connection and a publisher made from the settings in force.
class PublishService : public QObject, public PulseObserver
{
    Q_OBJECT

public:
    static constexpr int TickMilliseconds = 250;

    explicit PublishService(MeteringContext& ctx, QObject* parent = nullptr);
    // Says "offline" when connected.
    ~PublishService() override;

    // Starts, restarts or stops publishing after the settings changed.
    void applySettings();
    void revolutionCounted(const MeteringContext& ctx, const MeterSource& source) override;

    QString statusText() const;
    const MeterTotals& totals() const { return m_totals; }
    MeterPublisher* publisher() const { return m_publisher.get(); }

    static MqttOptions connectionOptions(const GlobalSettings& s);

signals:
    void statusChanged(const QString& text);

private:
    void stop();

    MeteringContext& m_ctx;
    QStringList m_inForce; // the publishing settings the client was made from
    MeterTotals m_totals;
    std::unique_ptr<MqttClient> m_client;
    std::unique_ptr<MeterPublisher> m_publisher;
    QTimer m_timer;
};
