// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "metering/PulseObserver.h"
#include "publish/CommandDispatcher.h"
#include "publish/MeterPublisher.h"
#include "publish/MqttClient.h"

#include <QObject>
#include <QTimer>
#include <map>
#include <memory>

struct GlobalSettings;
class MeterReadingStore;
class RegisterWatch;

// Publishing as the program runs it: counts every revolution from start, and while PUBLISH_MQTT is on
// keeps a broker connection and a publisher made from the settings in force. With ACCEPT_MQTT_COMMANDS on it
// carries out the commands that come in; a refused one is said in the status and the log. When the names
// the discovery configs were last published under (kept in PUBLISHEDNAMES.DTA, so a changed file counts at
// start too) differ from the present ones, the configs under the old names are cleared. The entities keep their
// ids through such a change: the device id is made once, from the names first published under, and kept in
// DEVICEID.DTA. While PUBLISH_PICTURE is off no picture stays at the broker.
class PublishService : public QObject, public PulseObserver
{
    Q_OBJECT

public:
    static constexpr int TickMilliseconds = 250;

    PublishService(MeteringContext& ctx, MeterReadingStore& reading, QObject* parent = nullptr);
    // Says "offline" when connected.
    ~PublishService() override;

    // Starts, restarts or stops publishing after the settings changed.
    void applySettings();
    void revolutionCounted(const MeteringContext& ctx, const MeterSource& source) override;

    // A command that lives outside publishing, on BASE/name/set.
    void addCommand(const QString& name, CommandDispatcher::Handler handler)
    {
        m_commands.add(name, std::move(handler));
    }
    // The register's read goes with the state and the configs from the next start of publishing (applySettings) on,
    // and BASE/meter_reading/set takes "camera". Once, before publishing starts.
    void watchRegister(RegisterWatch& watch);
    // Retained on BASE/object while publishing; kept, so that the broker of every later connection has it too.
    void publishAt(const QString& object, const QByteArray& payload);
    // What was last given to publishAt for the object, published or not; empty for none.
    QByteArray published(const QString& object) const;

    // A command given elsewhere than the broker (the web page), carried out as BASE/name/set would be, whether or not
    // the broker's commands are taken: the page has its password. "" when carried out, otherwise why not.
    QString command(const QString& name, const QByteArray& payload);
    bool hasCommand(const QString& name) const { return m_commands.has(name); }
    // The latest command's refusal, from the broker or elsewhere; "" once one is carried out.
    QString commandRefusal() const { return m_commandRefusal; }
    // What the state message would say now, publishing or not.
    MeterReading present();
    const RegisterWatch* registerWatch() const { return m_register; }

    QString statusText() const;
    const MeteringContext& context() const { return m_ctx; }
    const MeterTotals& totals() const { return m_totals; }
    MeterPublisher* publisher() const { return m_publisher.get(); }

    static MqttOptions connectionOptions(const GlobalSettings& s);

signals:
    void statusChanged(const QString& text);
    // Each time applySettings ran, whether or not publishing changed: others kept in the same file follow it.
    void settingsApplied();

private:
    void stop();
    void sendPublished(const QString& object) const;
    void carryOut(const QString& topic, const QByteArray& payload, bool retained);
    // Notes the outcome of a command in the log and the status.
    void noteOutcome(const QString& refusal, const QString& where, const QByteArray& payload);
    // Sets the tariff's register; tariff 2's only with two tariffs. Tariff 1's to what the camera reads on the
    // register's wheels with CameraReadingPayload.
    QString setMeterReading(const QByteArray& payload, int tariff);
    // "1" or "2", or the tariff's name, from the utility's switch, followed while the tariff settings say so.
    QString setTariff(const QByteArray& payload);
    // The names of PUBLISHEDNAMES.DTA, none when there is no such file.
    QStringList lastNames() const;
    // Takes the device id of DEVICEID.DTA, making the file first when there is none. The node id when it can be
    // neither read nor made, which the log says.
    void useDeviceId(const QStringList& last);
    // Clears the configs and the picture under the names last published, when they are not the present ones.
    void clearOldNames(const QStringList& last);
    QString namesPath() const;

    MeteringContext& m_ctx;
    MeterReadingStore& m_reading;
    RegisterWatch* m_register = nullptr;
    CommandDispatcher m_commands;
    QString m_commandRefusal; // the latest command's, until one is carried out
    QStringList m_inForce;    // the publishing settings the client was made from
    QString m_deviceId;       // see useDeviceId
    // By publishAt: object -> payload.
    std::map<QString, QByteArray> m_published;
    MeterTotals m_totals;
    std::unique_ptr<MqttClient> m_client;
    std::unique_ptr<MeterPublisher> m_publisher;
    QTimer m_timer;
};
