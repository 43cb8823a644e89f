// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/PulseSignal.h"
#include "publish/PublishService.h"
#include "support/MosquittoBroker.h"
#include "support/TestContext.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QJsonObject json(const QByteArray& bytes)
{
    return QJsonDocument::fromJson(bytes).object();
}

bool eventually(const std::function<bool()>& condition, int seconds = 10)
{
    const QDeadlineTimer deadline(seconds * 1000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

struct PublishTest : ::testing::Test
{
    void SetUp() override
    {
        ASSERT_TRUE(broker.start());
        s.PUBLISH_MQTT = true;
        s.MQTT_HOST = QStringLiteral("127.0.0.1");
        s.MQTT_PORT = broker.port();
    }
    QByteArray retained(const QString& topic) { return broker.retained(topic).value(topic); }
    bool stateHas(qint64 revolutions)
    {
        return json(retained(QStringLiteral("wattsight/meter1/state")))[QStringLiteral("revolutions")].toInteger(-1) ==
               revolutions;
    }

    MosquittoBroker broker;
    TestContext t;
    GlobalSettings& s = t.ctx.settings;
};

TEST_F(PublishTest, DiscoveryStateAndAvailabilityAsHomeAssistantReadsThem)
{
    auto service = std::make_unique<PublishService>(t.ctx);
    service->applySettings();
    t.ctx.blnGlobalTripRunning = true;
    t.ctx.trip.avg5minKWH = 0.5;
    t.ctx.trip.avg1hourKWH = 0.25;
    // Two revolutions at 300 per kWh, then two at 600: the energy takes each at the constant of its time.
    for (double revsPerKwh : {300.0, 300.0, 600.0, 600.0}) {
        t.ctx.pulse.dblGlobalWkgRevsPerKWH = revsPerKwh;
        RegisterPulse(t.ctx, 0);
        t.clock.advance(12);
    }
    ASSERT_TRUE(eventually([&] { return stateHas(4); }));
    const QJsonObject state = json(retained(QStringLiteral("wattsight/meter1/state")));
    EXPECT_DOUBLE_EQ(state[QStringLiteral("energy_kwh")].toDouble(), 0.01);
    EXPECT_DOUBLE_EQ(state[QStringLiteral("power_w")].toDouble(), 500); // 12 s a revolution at 600 per kWh
    EXPECT_DOUBLE_EQ(state[QStringLiteral("cost_per_hour")].toDouble(), 2.5);
    EXPECT_DOUBLE_EQ(state[QStringLiteral("avg_power_5min_w")].toDouble(), 500);
    EXPECT_DOUBLE_EQ(state[QStringLiteral("avg_power_1h_w")].toDouble(), 250);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^2009-01-15T09:00:36[+-]\\d\\d:\\d\\d$"))
                    .match(state[QStringLiteral("timestamp")].toString())
                    .hasMatch())
        << state[QStringLiteral("timestamp")].toString().toStdString();
    EXPECT_EQ(retained(QStringLiteral("wattsight/meter1/availability")), "online");

    const QMap<QString, QByteArray> configs = broker.retained(QStringLiteral("homeassistant/sensor/#"), 6);
    const std::tuple<const char*, const char*, const char*, const char*> classes[] = {
        {"power", "power", "measurement", "W"},          {"energy", "energy", "total_increasing", "kWh"},
        {"revolutions", "", "total_increasing", ""},     {"cost_per_hour", "", "measurement", "Pence/h"},
        {"avg_power_5min", "power", "measurement", "W"}, {"avg_power_1h", "power", "measurement", "W"}};
    ASSERT_EQ(configs.size(), 6);
    for (const auto& [object, deviceClass, stateClass, unit] : classes) {
        SCOPED_TRACE(object);
        const QJsonObject c = json(configs.value(
            QStringLiteral("homeassistant/sensor/wattsight_meter1/%1/config").arg(QLatin1String(object))));
        EXPECT_FALSE(c[QStringLiteral("name")].toString().isEmpty());
        EXPECT_EQ(c[QStringLiteral("unique_id")].toString(), QStringLiteral("wattsight_meter1_") + object);
        EXPECT_EQ(c[QStringLiteral("state_topic")].toString(), "wattsight/meter1/state");
        EXPECT_EQ(c[QStringLiteral("availability_topic")].toString(), "wattsight/meter1/availability");
        EXPECT_TRUE(c[QStringLiteral("value_template")].toString().contains("value_json."));
        EXPECT_EQ(c[QStringLiteral("device_class")].toString(), deviceClass);
        EXPECT_EQ(c[QStringLiteral("state_class")].toString(), stateClass);
        EXPECT_EQ(c[QStringLiteral("unit_of_measurement")].toString(), unit);
        const QJsonObject device = c[QStringLiteral("device")].toObject();
        EXPECT_EQ(device[QStringLiteral("identifiers")].toArray().first().toString(), "wattsight_meter1");
        EXPECT_EQ(device[QStringLiteral("manufacturer")].toString(), "Wattsight");
        EXPECT_EQ(device[QStringLiteral("sw_version")].toString(), "1.0.5");
        EXPECT_FALSE(device[QStringLiteral("model")].toString().isEmpty());
    }

    // A restarted Home Assistant announcing itself gets the configs again.
    const QString power = QStringLiteral("homeassistant/sensor/wattsight_meter1/power/config");
    const QString port = QString::number(broker.port());
    QProcess::execute(QStringLiteral("mosquitto_pub"), {"-p", port, "-t", power, "-r", "-n"});
    ASSERT_TRUE(eventually([&] { return retained(power).isEmpty(); }));
    QProcess::execute(QStringLiteral("mosquitto_pub"), {"-p", port, "-t", "homeassistant/status", "-m", "online"});
    EXPECT_TRUE(eventually([&] { return retained(power) == configs.value(power); }));

    service.reset(); // a clean exit says goodbye
    EXPECT_TRUE(eventually([&] { return retained(QStringLiteral("wattsight/meter1/availability")) == "offline"; }));
}

TEST_F(PublishTest, StatesAreMergedToOneASecondAndSentAtLeastOnceAMinute)
{
    PublishService service(t.ctx);
    service.applySettings();
    const MeterPublisher& publisher = *service.publisher();
    EXPECT_EQ(publisher.statesSent(), 1) << "the state at start";
    for (int i = 0; i < 5; ++i) {
        t.clock.advance(0.15);
        RegisterPulse(t.ctx, 0);
        service.publisher()->tick();
    }
    EXPECT_EQ(publisher.statesSent(), 1);
    t.clock.advance(0.25);
    service.publisher()->tick();
    EXPECT_EQ(publisher.statesSent(), 2) << "the five revolutions in one message";
    EXPECT_TRUE(eventually([&] { return stateHas(5); }));
    t.clock.advance(1.0);
    RegisterPulse(t.ctx, 0);
    EXPECT_EQ(publisher.statesSent(), 3) << "a second after the last one goes out at once";
    for (int i = 0; i < 59; ++i) {
        t.clock.advance(1.0);
        service.publisher()->tick();
    }
    EXPECT_EQ(publisher.statesSent(), 3);
    t.clock.advance(1.0);
    service.publisher()->tick();
    EXPECT_EQ(publisher.statesSent(), 4) << "the minute's state while the disc stands still";
}

TEST_F(PublishTest, AKilledPublisherLeavesItsLastWillAndABrokerRestartGetsEverythingAgain)
{
    QProcess helper;
    helper.start(QStringLiteral(WATTSIGHT_PUBLISH_HELPER), {QString::number(broker.port())});
    ASSERT_TRUE(eventually([&] { return retained(QStringLiteral("wattsight/meter1/availability")) == "online"; }));
    ::kill(pid_t(helper.processId()), SIGKILL);
    EXPECT_TRUE(eventually([&] { return retained(QStringLiteral("wattsight/meter1/availability")) == "offline"; }));
    helper.waitForFinished();

    PublishService service(t.ctx);
    service.applySettings();
    const QString connected = QStringLiteral("Connected to 127.0.0.1:%1").arg(broker.port());
    ASSERT_TRUE(eventually([&] { return service.statusText() == connected; }));
    broker.stop(); // the broker keeps nothing over a restart
    EXPECT_TRUE(eventually([&] { return service.statusText().startsWith("Not connected to 127.0.0.1"); }));
    t.clock.advance(1);
    RegisterPulse(t.ctx, 0);
    ASSERT_TRUE(broker.start());
    EXPECT_TRUE(eventually([&] { return service.statusText() == connected; }));
    EXPECT_TRUE(eventually([&] { return stateHas(1); }));
    EXPECT_EQ(retained(QStringLiteral("wattsight/meter1/availability")), "online");
    EXPECT_EQ(broker.retained(QStringLiteral("homeassistant/sensor/#"), 6).size(), 6);
}

TEST(PublishConnection, EachFailureSaysWhyWhileTheCallerNeverWaits)
{
    MosquittoBroker guarded(QStringLiteral("wattsight"), QStringLiteral("right"));
    ASSERT_TRUE(guarded.start());
    MosquittoBroker plain;
    ASSERT_TRUE(plain.start());
    // A port that takes connections and never answers: a broker that hangs.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    ::bind(silent, reinterpret_cast<sockaddr*>(&address), size);
    ::listen(silent, 4);
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &size);

    const struct
    {
        int port;
        const char* password;
        bool tls;
        const char* reason;
    } cases[] = {
        {guarded.port(), "wrong", false, "not authorised"},
        {plain.port(), "", true, "TLS"},
        {MosquittoBroker::freePort(), "", false, "Connection refused"},
        {ntohs(address.sin_port), "", false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        MqttOptions o;
        o.host = QStringLiteral("127.0.0.1");
        o.port = c.port;
        o.username = c.password[0] ? QStringLiteral("wattsight") : QString();
        o.password = QString::fromLatin1(c.password);
        o.useTls = c.tls;
        o.caFile = c.tls ? QStringLiteral("/etc/ssl/certs/ca-certificates.crt") : QString();
        MqttClient client(o);
        // However the broker behaves, publishing only records the newest payload.
        for (int i = 0; i < 1000; ++i)
            client.publishRetained(QStringLiteral("t/%1").arg(i % 3), QByteArray::number(i));
        const QString prefix = QStringLiteral("Not connected to 127.0.0.1:%1: ").arg(c.port);
        if (!c.reason) {
            QThread::msleep(500);
            EXPECT_EQ(client.status().text, QStringLiteral("Connecting to 127.0.0.1:%1").arg(c.port));
            continue;
        }
        EXPECT_TRUE(eventually([&] { return client.status().text.startsWith(prefix); }));
        EXPECT_TRUE(client.status().text.contains(QLatin1String(c.reason), Qt::CaseInsensitive))
            << client.status().text.toStdString();
        EXPECT_FALSE(client.status().connected);
    }
    ::close(silent);
}

} // namespace
