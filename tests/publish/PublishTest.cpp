// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/CaptureComponent.h"
#include "capture/MeterCamera.h"
#include "capture/RegisterWatch.h"
#include "capture/SimulatedFrames.h"
#include "capture/SimulatedMeter.h"
#include "metering/LoggingEngine.h"
#include "metering/MeterReadingStore.h"
#include "metering/PulseSignal.h"
#include "metering/RecordLine.h"
#include "metering/TripEngine.h"
#include "publish/MqttLibrary.h"
#include "publish/PublishService.h"
#include "publish/RunCommands.h"
#include "support/MosquittoBroker.h"
#include "support/PublishCommands.h"
#include "support/TestContext.h"
#include "unattended/CameraWatchdog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString Availability = QStringLiteral("wattsight/meter1/availability");
const QString State = QStringLiteral("wattsight/meter1/state");

const auto json = [](const QByteArray& bytes) { return QJsonDocument::fromJson(bytes).object(); };

// Whether this process still has a socket on that local loopback port: the client's end of a connection.
bool socketOpenOn(quint16 port)
{
    for (int fd = 0; fd < ::getdtablesize(); ++fd) {
        sockaddr_in address{};
        socklen_t size = sizeof address;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0 && address.sin_family == AF_INET &&
            ntohs(address.sin_port) == port)
            return true;
    }
    return false;
}

// Just enough of a broker to see what a client sends, in order: it accepts connections and acknowledges
// nothing but the connection itself.
struct ScriptedBroker
{
    ScriptedBroker() { server.listen(QHostAddress::LocalHost); }
    int port() const { return server.serverPort(); }
    // Takes the next connection and accepts its CONNECT.
    bool accept()
    {
        if (!server.waitForNewConnection(10000))
            return false;
        connection.reset(server.nextPendingConnection());
        if (!connection->waitForReadyRead(10000))
            return false;
        connection->readAll();
        connection->write(QByteArray::fromHex("20020000")); // CONNACK: accepted
        return connection->waitForBytesWritten(10000);
    }
    // What the client sends from now on, once `topic` has come `times` times.
    QByteArray received(const QByteArray& topic, int times)
    {
        QByteArray bytes;
        while (bytes.count(topic) < times && connection->waitForReadyRead(10000))
            bytes += connection->readAll();
        return bytes;
    }

    QTcpServer server;
    std::unique_ptr<QTcpSocket> connection;
};

struct PublishTest : ::testing::Test
{
    void SetUp() override
    {
        ASSERT_TRUE(broker.start());
        std::tie(t.ctx.settings.PUBLISH_MQTT, t.ctx.settings.MQTT_HOST, t.ctx.settings.MQTT_PORT) =
            std::tuple(true, QStringLiteral("127.0.0.1"), broker.port());
        ASSERT_EQ(reading.load(), "");
        reading.setCameraSource(Simulated);
    }
    bool retainedIs(const QString& topic, const QByteArray& payload) const
    {
        return eventually([&] { return broker.retainedAt(topic) == payload; });
    }
    QString command(PublishService& s, const QString& object, const QByteArray& payload) const
    {
        return commandAnswer(broker, s, object, payload);
    }
    bool stateHas(qint64 revolutions) const
    {
        return eventually([&] { return json(broker.retainedAt(State))["revolutions"].toInteger(-1) == revolutions; });
    }

    MosquittoBroker broker;
    TestContext t;
    const MeterSource Simulated = MeterSource::ofDevice(MeterSource::SimulatedMeterDevice, {});
    MeterReadingStore reading{t.ctx};
    MqttLibrary mqtt; // ends first: the goodbyes go to a broker still running
};

TEST_F(PublishTest, DiscoveryConfigsAndTheStateAsHomeAssistantReadsThem)
{
    auto service = std::make_unique<PublishService>(t.ctx, reading);
    service->applySettings();
    t.ctx.blnGlobalTripRunning = t.ctx.blnGlobalCameraRunning = true;
    std::tie(t.ctx.trip.avg5minKWH, t.ctx.trip.avg1hourKWH) = std::tuple(0.5, 0.25);
    // Two revolutions at 300 per kWh, then two at 600: the energy takes each at the constant of its time.
    for (double revsPerKwh : {300.0, 300.0, 600.0, 600.0}) {
        t.ctx.settings.REVS_PER_KWH = revsPerKwh;
        RegisterPulse(t.ctx, 0);
        t.clock.advance(12);
    }
    ASSERT_TRUE(stateHas(4));
    const QJsonObject state = json(broker.retainedAt(State));
    // 12 s a revolution at 600 per kWh is 500 W; at 5 pence a kWh, 2.5 pence an hour.
    QStringList values;
    for (const char* key : {"energy_kwh", "power_w", "cost_per_hour", "avg_power_5min_w", "avg_power_1h_w"})
        values << QString::number(state[key].toDouble());
    EXPECT_EQ(values.join(' '), "0.01 500 2.5 500 250");
    EXPECT_TRUE(
        QRegularExpression("^2009-01-15T09:00:36[+-]\\d\\d:\\d\\d$").match(state["timestamp"].toString()).hasMatch())
        << state["timestamp"].toString().toStdString();

    EXPECT_FALSE(state.contains("meter_reading_kwh") || state.contains("price") || state.contains("tariff") ||
                 state.contains("counts_up_to_w"))
        << "no reading set, no currency code, one tariff, no limit stated by Find Mark";
    // Find Mark's settings accepted with a limit: the next state says it.
    t.ctx.settings.ASSURED_UP_TO_WATTS = 9000;
    RegisterPulse(t.ctx, 0);
    ASSERT_TRUE(stateHas(5));
    EXPECT_EQ(json(broker.retainedAt(State))["counts_up_to_w"].toInt(), 9000);

    // Without a currency code no price and cost; without commands no number entity.
    const QMap<QString, QByteArray> configs = broker.retained("homeassistant/#", 9);
    const std::tuple<const char*, const char*, const char*, const char*, const char*> classes[] = {
        {"power", "power", "measurement", "W", R"("suggested_display_precision":0)"},
        {"energy", "energy", "total_increasing", "kWh", R"("suggested_display_precision":3)"},
        {"camera", "", "", "", R"("entity_category":"diagnostic")"},
        {"counts_up_to", "power", "", "W", R"("entity_category":"diagnostic")"},
        {"cost_per_hour", "", "measurement", "Pence/h", R"("suggested_display_precision":2)"},
        {"avg_power_5min", "power", "measurement", "W", R"("enabled_by_default":false)"},
        {"meter_reading", "energy", "total_increasing", "kWh", R"("suggested_display_precision":2)"}};
    ASSERT_EQ(configs.size(), 9) << configs.keys().join(' ').toStdString();
    for (const auto& [object, deviceClass, stateClass, unit, extra] : classes) {
        SCOPED_TRACE(object);
        const QByteArray config =
            configs.value(QStringLiteral("homeassistant/sensor/wattsight_meter1/%1/config").arg(object));
        const QJsonObject c = json(config);
        QStringList fields{c["device"]["identifiers"][0].toString()};
        for (const char* key :
             {"unique_id", "state_topic", "availability_topic", "device_class", "state_class", "unit_of_measurement"})
            fields << c[key].toString();
        EXPECT_EQ(fields, QStringList({"wattsight_meter1", QStringLiteral("wattsight_meter1_") + object, State,
                                       Availability, deviceClass, stateClass, unit}));
        EXPECT_TRUE(c["value_template"].toString().contains("value_json."));
        EXPECT_EQ(c["origin"]["name"].toString() + ' ' + QString::number(c["expire_after"].toInt()), "Wattsight 180");
        EXPECT_TRUE(config.contains(extra));
    }

    // A restarted Home Assistant announcing itself gets the configs again.
    const QString power = QStringLiteral("homeassistant/sensor/wattsight_meter1/power/config");
    broker.send(power, {"-r", "-n"});
    ASSERT_TRUE(retainedIs(power, ""));
    broker.send("homeassistant/status", {"-m", "online"});
    EXPECT_TRUE(retainedIs(power, configs.value(power)));

    // Switching publishing off: the statuses the client sent before it went (still queued, as nothing here ran the
    // event loop) never show after "Publishing is off".
    QStringList statuses;
    QObject::connect(service.get(), &PublishService::statusChanged, [&](const QString& text) { statuses << text; });
    t.ctx.settings.PUBLISH_MQTT = false;
    service->applySettings();
    QCoreApplication::processEvents();
    EXPECT_EQ(statuses, QStringList{"Publishing is off"});
}

TEST_F(PublishTest, StatesAreMergedToOneASecondSentEveryFiveWhileThePowerFallsAndOtherwiseOnceAMinute)
{
    t.ctx.blnGlobalCameraRunning = true;
    PublishService service(t.ctx, reading);
    service.applySettings();
    MeterPublisher& publisher = *service.publisher();
    const auto run = [&](int steps, double seconds, bool revolution) {
        for (int i = 0; i < steps; ++i) {
            t.clock.advance(seconds);
            if (revolution)
                RegisterPulse(t.ctx, 0);
            publisher.tick();
        }
        return publisher.statesSent();
    };
    // The compact JSON has its keys in order, so the two stand side by side.
    const auto stateShows = [&](const char* text) {
        return eventually([&] { return broker.retainedAt(State).contains(text); });
    };
    EXPECT_EQ(publisher.statesSent(), 1) << "the state at start";
    EXPECT_EQ(run(59, 1.0, false), 1) << "no revolution timed yet: nothing falls";
    EXPECT_EQ(run(1, 1.0, false), 2) << "the minute's state while the disc stands still";
    EXPECT_EQ(run(5, 0.15, true), 2);
    EXPECT_EQ(run(1, 0.25, false), 3) << "the five revolutions in one message";
    EXPECT_TRUE(stateHas(5));
    EXPECT_EQ(run(1, 1.0, true), 4) << "a second after the last one goes out at once";

    // That revolution took 1.25 s; from then on the power at 300 revs per kWh is at most 12 kW / seconds since.
    EXPECT_EQ(run(4, 1.0, false), 4);
    EXPECT_EQ(run(1, 1.0, false), 5) << "5 s after the last state while the power falls";
    EXPECT_TRUE(stateShows(R"("power_is_bound":true,"power_w":2400,)"));
    EXPECT_EQ(run(5, 1.0, false), 6);
    EXPECT_TRUE(stateShows(R"("power_is_bound":true,"power_w":1200,)"));
    EXPECT_EQ(run(1, 1.0, true), 7);
    EXPECT_TRUE(stateShows(R"("power_is_bound":false,"power_w":1090.909,)")) << "the next revolution measures it again";
    // Placed between frames 80 ms after the clock read at once: 1.08 s, not a day.
    t.clock.advance(1.0);
    RegisterPulse(t.ctx, 0, t.clock.timer() + 0.08, {});
    EXPECT_TRUE(stateShows(R"("power_is_bound":false,"power_w":11111.111,)"));

    // Stalled or stopped (as the camera screens and the watchdog say), the camera may miss revolutions: the power is
    // unknown, and so it stays after the camera comes back until a revolution is timed.
    CameraWatchdog watchdog(t.ctx);
    const auto cameraIs = [&](const char* camera, const char* power) {
        run(1, 1.0, false); // a change of camera goes out within a second
        return stateShows(qPrintable(QStringLiteral(R"("camera":"%1")").arg(camera))) &&
               stateShows(qPrintable(QStringLiteral(R"("power_is_bound":false,"power_w":%1,)").arg(power)));
    };
    t.ctx.settings.STALLED_CAMERA_SECONDS = 10;
    watchdog.cameraStarted(t.clock.timer());
    watchdog.check(t.clock.timer() + 10);
    EXPECT_TRUE(cameraIs("stalled", "null"));
    BreakPulseTiming(t.ctx); // as every camera start does
    watchdog.cameraStarted(t.clock.timer());
    watchdog.pictureArrived(t.clock.timer());
    EXPECT_TRUE(cameraIs("running", "null"));
    run(1, 1.0, true);
    EXPECT_TRUE(stateHas(9) && stateShows(R"("power_w":null)")) << "the first revolution after the start is untimed";
    run(1, 1.0, true);
    EXPECT_TRUE(stateShows(R"("power_is_bound":false,"power_w":12000,)"));
    watchdog.cameraStopped();
    t.ctx.blnGlobalCameraRunning = false;
    EXPECT_TRUE(cameraIs("stopped", "null"));
}

TEST_F(PublishTest, AKilledPublisherLeavesItsLastWillAndABrokerRestartGetsEverythingAgain)
{
    QProcess helper;
    helper.start(WATTSIGHT_PUBLISH_HELPER, {QString::number(broker.port())});
    ASSERT_TRUE(retainedIs(Availability, "online"));
    helper.kill(); // SIGKILL: no goodbye
    EXPECT_TRUE(retainedIs(Availability, "offline"));
    helper.waitForFinished();

    PublishService service(t.ctx, reading);
    service.applySettings();
    const QString connected = QStringLiteral("Connected to 127.0.0.1:%1").arg(broker.port());
    ASSERT_TRUE(eventually([&] { return service.statusText() == connected; }));
    broker.stop(); // the broker keeps nothing over a restart
    EXPECT_TRUE(eventually([&] { return service.statusText().startsWith("Not connected to 127.0.0.1"); }));
    t.clock.advance(1);
    RegisterPulse(t.ctx, 0);
    ASSERT_TRUE(broker.start());
    EXPECT_TRUE(eventually([&] { return service.statusText() == connected; }));
    EXPECT_TRUE(stateHas(1) && retainedIs(Availability, "online")) << "state and availability sent again";
    EXPECT_EQ(broker.retained("homeassistant/sensor/#", 9).size(), 9);
}

TEST_F(PublishTest, TheReadingIsSetByCommandAndEveryPayloadThatIsNotAReadingIsRefusedAndLeavesIt)
{
    std::tie(t.ctx.settings.ACCEPT_MQTT_COMMANDS, t.ctx.settings.CURRENCY_CODE,
             t.ctx.settings.PRICE_UNITS_PER_CURRENCY_UNIT) = std::tuple(true, "GBP", 100);
    const QString set = QStringLiteral("wattsight/meter1/meter_reading/set");
    broker.send(set, {"-r", "-m", "777"}); // kept by the broker from long ago: never taken
    PublishService service(t.ctx, reading);
    service.applySettings();
    const auto refused = [&](const QString& why) {
        return eventually(
            [&] { return service.statusText().section('\n', 1) == "Command on " + set + " refused: " + why; });
    };
    EXPECT_TRUE(refused("it was retained at the broker; send it without retain"));
    // Clearing it at the broker is itself an empty command, and refused as one.
    broker.send(set, {"-r", "-n"});
    EXPECT_TRUE(refused(R"("" is not a number of kWh)"));

    ASSERT_EQ(command(service, "meter_reading", "12345.6\n"), ""); // as `echo` leaves it
    EXPECT_EQ(reading.reading().kWh(), 12345.6);
    // A revolution at 300 per kWh and 5 pence a kWh, counted from the source the reading follows.
    t.clock.advance(2);
    RegisterPulse(t.ctx, 0, t.clock.timer(), Simulated);
    ASSERT_TRUE(stateHas(1));
    const QJsonObject state = json(broker.retainedAt(State));
    EXPECT_EQ(QString::number(state["meter_reading_kwh"].toDouble(), 'f', 6) + ' ' +
                  QString::number(state["price"].toDouble()) + ' ' + QString::number(state["cost"].toDouble(), 'g', 6),
              "12345.603333 0.05 0.000167");
    // A corrected reading goes out with the next state, without waiting for a revolution.
    ASSERT_EQ(command(service, "meter_reading", "12000"), "");
    t.clock.advance(2);
    service.publisher()->tick();
    EXPECT_TRUE(eventually([&] { return json(broker.retainedAt(State))["meter_reading_kwh"].toDouble() == 12000; }));

    const std::tuple<const char*, const char*, const char*> bad[] = {
        {"meter_reading", "twelve", R"("twelve" is not a number of kWh)"},
        {"meter_reading", "1\r\n\"Command\" on wattsight/meter1/logging/set carried out",
         R"("1\r\n\"Command\" on wattsight/meter1/logging"… is not a number of kWh)"},
        {"meter_reading", "-1", "The meter reading must be a number of kWh from 0 to 1000000000"},
        {"meter_reading", "nan", "The meter reading must be a number of kWh from 0 to 1000000000"},
        {"meter_reading", "inf", "The meter reading must be a number of kWh from 0 to 1000000000"},
        {"volume", "2", "there is no such command"},
        // The utility's tariff switch is followed only when the tariff settings say so.
        {"tariff", "2", "the tariff follows its schedule (Setup, Tariffs)"},
        {"meter_reading_t2", "2", "the meter has one tariff (Setup, Tariffs)"},
    };
    for (const auto& [object, payload, why] : bad)
        EXPECT_EQ(command(service, object, payload), why) << object;
    std::tie(t.ctx.settings.TARIFF_COUNT, t.ctx.settings.TARIFF_FROM_MQTT) = std::tuple(2, true);
    EXPECT_EQ(command(service, "tariff", "3"), R"("3" is not tariff 1 or 2, Day or Night)");
    EXPECT_EQ(command(service, "tariff", "2"), "");
    EXPECT_EQ(t.ctx.tariffFromCommand, 2);
    EXPECT_EQ(reading.reading().kWh(), 12000) << "the reading stays";
}

TEST_F(PublishTest, TripAndLoggingFollowCommandsAsTheirButtonsAndRefuseWhatTheButtonsWouldNotDoOrWouldAsk)
{
    t.ctx.settings.ACCEPT_MQTT_COMMANDS = true;
    TripEngine trip(t.ctx);
    LoggingEngine logging(t.ctx);
    PublishService service(t.ctx, reading);
    RunCommands commands(service, trip, logging);
    service.applySettings();
    const QString loggingState = QStringLiteral("wattsight/meter1/logging");
    ASSERT_TRUE(retainedIs(loggingState, "stopped"));

    EXPECT_EQ(command(service, "trip", "start"), "");
    EXPECT_EQ(command(service, "trip", "start"), "the trip is running already");
    RegisterPulse(t.ctx, 0);
    ASSERT_EQ(t.ctx.trip.totalPulse, 1);
    EXPECT_EQ(command(service, "trip", "reset"), "");
    EXPECT_EQ(t.ctx.trip.totalPulse, 0);
    EXPECT_EQ(command(service, "trip", "stop"), "");
    EXPECT_EQ(command(service, "trip", "stop") + '|' + command(service, "trip", "reset") + '|' +
                  command(service, "trip", "pause"),
              R"(the trip is not running|the trip is not running|"pause" is not start, stop or reset)");

    // No one is asked anything: the camera warning goes out as a notice.
    EXPECT_EQ(command(service, "logging", "start"), "");
    EXPECT_TRUE(retainedIs(loggingState, "running"));
    EXPECT_EQ(command(service, "logging", "start"), "logging is running already");
    EXPECT_EQ(command(service, "logging", "stop"), "");
    EXPECT_TRUE(retainedIs(loggingState, "stopped"));
    EXPECT_EQ(command(service, "logging", "stop") + '|' + command(service, "logging", "on"),
              R"(logging is not running|"on" is not start or stop)");
    // Where the Start button would ask before overwriting, the last run's backup is kept under its own name;
    // a file that is no backup is left alone and the start refused.
    t.ctx.settings.WRITE_ARRAY_TO_DISK = true;
    ASSERT_TRUE(writeFileBytes(t.ctx.paths.dataStore, "the last run\n"));
    EXPECT_EQ(command(service, "logging", "start"),
              "there is data stored as a file, which could not be kept under another name");
    EXPECT_FALSE(t.ctx.blnGlobalLoggingRunning);
    EXPECT_EQ(fileBytes(t.ctx.paths.dataStore), "the last run\n");
    LogRecord last;
    last.setDateTime(QDateTime(QDate(2009, 1, 15), QTime(1, 30)));
    last.LoggingSeconds = 3600;
    const RecordLine lines(t.ctx);
    const QByteArray backup = lines.header() + lines.line(last);
    ASSERT_TRUE(writeFileBytes(t.ctx.paths.dataStore, backup));
    t.ctx.varGlobalDataArray.append(last);
    t.dialogs.notices.clear();
    EXPECT_EQ(command(service, "logging", "start"), "");
    EXPECT_EQ(fileBytes(QFileInfo(t.ctx.paths.dataStore).dir().filePath("DATASTOR-2009-01-15-003000.DTA")), backup);
    EXPECT_EQ(t.dialogs.notices, QStringList({"The disk backup of the last logging run, started 15/01/2009 00:30:00, "
                                              "has been kept as DATASTOR-2009-01-15-003000.DTA.",
                                              "Warning. Camera is not running and data will not be logged. If you "
                                              "want to log fresh data you should start the camera"}));
    EXPECT_EQ(command(service, "logging", "stop"), "");
    t.ctx.settings.WRITE_ARRAY_TO_DISK = false;
    t.ctx.varGlobalDataArray.append(LogRecord{});
    EXPECT_EQ(command(service, "logging", "start"), "there is data in memory, which a new run would overwrite");
    EXPECT_EQ(t.dialogs.texts(), QStringList());
}

TEST_F(PublishTest, TwoTariffsPublishEachRegisterAndTheTariffAndTheSecondRegisterHasItsOwnCommand)
{
    std::tie(t.ctx.settings.ACCEPT_MQTT_COMMANDS, t.ctx.settings.TARIFF_FROM_MQTT) = std::tuple(true, true);
    const QString setT2 = QStringLiteral("wattsight/meter1/meter_reading_t2/set");
    // A bridge of the utility's switch keeps the tariff retained, by the name Home Assistant's select sends.
    broker.send("wattsight/meter1/tariff/set", {"-r", "-m", "Night"});
    PublishService service(t.ctx, reading);
    service.applySettings();
    t.ctx.settings.TARIFF_COUNT = 2; // on the Tariffs screen: the configs follow at the next tick
    service.publisher()->tick();
    QMap<QString, QByteArray> configs;
    ASSERT_TRUE(eventually([&] { return (configs = broker.retained("homeassistant/#", 22)).size() == 22; }));
    QStringList described;
    for (const char* object : {"sensor/wattsight_meter1/meter_reading_t2", "select/wattsight_meter1/tariff",
                               "number/wattsight_meter1/meter_reading", "number/wattsight_meter1/meter_reading_t2"}) {
        const QJsonObject c = json(configs.value(QStringLiteral("homeassistant/%1/config").arg(object)));
        for (const char* key : {"state_class", "unit_of_measurement", "value_template", "command_topic", "mode"})
            described << c[key].toString();
    }
    EXPECT_EQ(described.join('|').replace(" | default('None') }}", ""),
              R"(total_increasing|kWh|{{ value_json.meter_reading_t2_kwh|||||)"
              R"({{ ["Day","Night"][value_json.tariff - 1] }}|wattsight/meter1/tariff/set|||kWh|{{ )"
              R"(value_json.meter_reading_t1_kwh|wattsight/meter1/meter_reading/set|box||kWh|{{ )"
              R"(value_json.meter_reading_t2_kwh|)" +
                  setT2 + "|box");
    EXPECT_TRUE(eventually([&] { return t.ctx.tariffFromCommand == 2; }));
    // Its options follow the names set on the Tariffs screen.
    const QString select = QStringLiteral("homeassistant/select/wattsight_meter1/tariff/config");
    t.ctx.settings.TARIFF_1_NAME = QStringLiteral("Peak \"A\"");
    EXPECT_TRUE(eventually([&] { return json(broker.retainedAt(select))["options"][0].toString() == R"(Peak "A")"; }));
    EXPECT_TRUE(
        json(broker.retainedAt(select))["value_template"].toString().startsWith(R"({{ ["Peak \"A\"","Night"])"));

    ASSERT_EQ(command(service, "meter_reading", "1000") + command(service, "meter_reading_t2", "500"), "");
    LoadWorkingMeterValues(t.ctx); // the minute update
    t.clock.advance(2);
    RegisterPulse(t.ctx, 0, t.clock.timer(), Simulated);
    ASSERT_TRUE(stateHas(1));
    const QByteArray state = broker.retainedAt(State);
    EXPECT_TRUE(state.contains(R"("meter_reading_kwh":1500.003333,"meter_reading_t1_kwh":1000,"meter_reading_t2_kwh":)"
                               R"(500.003333,)") &&
                state.contains(R"("tariff":2,)"))
        << state.toStdString();
}

TEST_F(PublishTest, CountingTheDirectionPublishesASignedPowerTheEnergyEachWayAndUndecidedPassesWithTheirSensors)
{
    t.ctx.blnGlobalCameraRunning = true;
    PublishService service(t.ctx, reading);
    service.applySettings();
    ASSERT_EQ(reading.setReading(100, Simulated), "");
    const auto turn = [&](Turn turn, bool decided = true) {
        t.clock.advance(12);
        RegisterPulse(t.ctx, 0, t.clock.timer(), Simulated, {turn, decided});
    };
    turn(Turn::Backward, false);
    ASSERT_TRUE(stateHas(1)) << "without COUNT_DIRECTION every revolution is forward";
    EXPECT_FALSE(QRegularExpression("import|export|undecided").match(broker.retainedAt(State)).hasMatch());

    t.ctx.settings.COUNT_DIRECTION = true; // on the camera screen: the configs follow at the next tick
    service.publisher()->tick();
    QMap<QString, QByteArray> configs;
    ASSERT_TRUE(eventually([&] { return (configs = broker.retained("homeassistant/#", 12)).size() == 12; }));
    const QString sensor = QStringLiteral("homeassistant/sensor/wattsight_meter1/%1/config");
    QStringList described;
    for (const char* object : {"energy_import", "energy_export", "undecided_passes", "energy"})
        for (const char* key : {"name", "device_class", "state_class", "unit_of_measurement", "entity_category"})
            described << json(configs.value(sensor.arg(object)))[key].toString();
    EXPECT_EQ(described.join('|'),
              "Energy imported|energy|total_increasing|kWh||Energy exported|energy|total_increasing|"
              "kWh||Undecided passes||total_increasing||diagnostic|Energy|energy|total|kWh|");
    turn(Turn::Forward);
    turn(Turn::Backward);
    turn(Turn::Backward, false);
    ASSERT_TRUE(stateHas(0));
    const QByteArray state = broker.retainedAt(State);
    EXPECT_TRUE(state.contains(R"("energy_export_kwh":0.006667,"energy_import_kwh":0.003333,"energy_kwh":0,)"
                               R"("meter_reading_kwh":100,"power_is_bound":false,"power_w":-1000,)") &&
                state.endsWith(R"("undecided_passes":1})"))
        << state.toStdString();
}

// Home Assistant keeps an entity's history under its unique id, which stays through every rename.
TEST_F(PublishTest, ConfigsUnderOldNamesAreClearedAtApplyAndAtTheNextStartAndTheEntitiesKeepTheirIds)
{
    std::tie(t.ctx.settings.ACCEPT_MQTT_COMMANDS, t.ctx.settings.CURRENCY_CODE) = std::tuple(true, "EUR");
    // An earlier version published under home/cellar; the file was edited to the present names since.
    ASSERT_TRUE(writeFileBytes(t.path("PUBLISHEDNAMES.DTA"), "homeassistant\nhome\ncellar\n"));
    const auto idsAre = [&](const char* config, const QString& ids) {
        return eventually([&] {
            const QJsonObject c = json(broker.retainedAt(QLatin1String(config)));
            return c["unique_id"].toString() + ' ' + c["device"]["identifiers"][0].toString() == ids;
        });
    };
    auto service = std::make_unique<PublishService>(t.ctx, reading);
    service->applySettings();
    // Eight sensors, the price, the cost, the number entity and the remote control's eight (no picture), once the
    // client has sent them.
    const auto all = [&](const char* filter) {
        return eventually([&] { return broker.retained(filter, 19).size() == 19; });
    };
    EXPECT_TRUE(all("homeassistant/+/wattsight_meter1/#"));

    t.ctx.settings.METER_ID = "meter2";
    service->applySettings();
    EXPECT_TRUE(all("homeassistant/+/wattsight_meter2/#"));
    EXPECT_TRUE(eventually([&] { return broker.retained("homeassistant/+/wattsight_meter1/#").isEmpty(); }));
    EXPECT_TRUE(idsAre("homeassistant/sensor/wattsight_meter2/power/config", "home_cellar_power home_cellar"));
    // Costs are in the currency once its code is set.
    EXPECT_EQ(
        json(broker.retainedAt("homeassistant/sensor/wattsight_meter2/cost_per_hour/config"))["unit_of_measurement"],
        "EUR/h");

    // A prefix changed in the file while the program was not running.
    service.reset();
    t.ctx.settings.DISCOVERY_PREFIX = "ha";
    service = std::make_unique<PublishService>(t.ctx, reading);
    service->applySettings();
    EXPECT_TRUE(all("ha/+/wattsight_meter2/#"));
    EXPECT_TRUE(eventually([&] { return broker.retained("homeassistant/#").isEmpty(); }));
}

// The whole road: the simulated meter's register in the camera's picture, read, proposed, taken by a command over the
// broker, then compared with the count until a register that moved on without it is flagged and taken again. The
// register is published only while a register region is set.
TEST_F(PublishTest, TheRegisterGoesOutWhileARegionIsSetAndTheCameraProposesItsReadingAndFlagsAMeterThatMovedOn)
{
    t.ctx.settings.ACCEPT_MQTT_COMMANDS = true;
    MeterCamera camera(t.ctx);
    CaptureComponent& capture = camera.capture();
    SimulatedFrames frames(capture, t.clock);
    capture.setDeviceIndex(capture.simulatedMeterIndex());
    SimulatedMeterSettings meter{.powerWatts = 0.0, .registerShown = true, .registerKWh = 4815.2};
    capture.setSimulatedMeterSettings(meter);
    camera.start();
    ASSERT_TRUE(camera.running());
    reading.setCameraSource(capture.meterSource());
    RegisterWatch watch(t.ctx, camera, reading, {.tickMilliseconds = 10});
    PublishService service(t.ctx, reading);
    service.watchRegister(watch);
    service.applySettings();
    // No region: nothing of the register in the state or the configs, and nothing to take.
    ASSERT_TRUE(stateHas(0));
    EXPECT_FALSE(broker.retainedAt(State).contains("register"));
    const auto configs = [&](int count = 0) { return broker.retained("homeassistant/#", count).keys(); }; // 0: all
    const QStringList before = configs();
    EXPECT_EQ(command(service, "meter_reading", "camera"), "no register region is set (Camera Setup)");
    std::tie(t.ctx.settings.REGISTER_REGION, t.ctx.settings.REGISTER_DIGITS, t.ctx.settings.REGISTER_DECIMALS) =
        std::tuple(SimulatedMeter(meter).registerRegion().toString(), 6, 1);
    // `seconds` on, then frames until the watch has read one.
    const auto readAfter = [&](double seconds) {
        t.clock.advance(seconds);
        const QDateTime before = watch.lastRead() ? watch.checkedAt() : QDateTime();
        for (int i = 0; i < 200; ++i) {
            frames.step();
            if (QTest::qWaitFor([&] { return watch.lastRead() && watch.checkedAt() != before; }, 50))
                return true;
        }
        return false;
    };
    // The state goes out a second after the last one.
    const auto nextState = [&] {
        t.clock.advance(1);
        service.publisher()->tick();
        return true;
    };
    const auto published = [&](const QString& topic, const QByteArray& payload) {
        return eventually([&] { return nextState() && broker.retainedAt(topic) == payload; });
    };
    const QString registerTopic = QStringLiteral("wattsight/meter1/register");

    // The region taken at the watch's next tick: its entities and topic, and still nothing of it in the state until
    // a read.
    ASSERT_TRUE(eventually([&] { return watch.active(); }));
    ASSERT_TRUE(published(registerTopic, R"({"differs":false})"));
    ASSERT_TRUE(eventually([&] { return configs(before.size() + 4).size() == before.size() + 4; }));
    EXPECT_FALSE(broker.retainedAt(State).contains("register"));
    QStringList described;
    for (const char* object :
         {"sensor/wattsight_meter1/register_seen", "sensor/wattsight_meter1/register_checked",
          "binary_sensor/wattsight_meter1/register", "button/wattsight_meter1/meter_reading_camera"})
        for (const QJsonObject c = json(broker.retainedAt(QStringLiteral("homeassistant/%1/config").arg(object)));
             const char* key : {"device_class", "state_class", "state_topic", "command_topic", "payload_press"})
            described << c[key].toString();
    EXPECT_EQ(described.join('|'), "energy|total_increasing|" + State + "|||timestamp||" + State + "|||problem||" +
                                       registerTopic + "||||||wattsight/meter1/meter_reading/set|camera");
    EXPECT_EQ(json(broker.retainedAt(
                  QStringLiteral("homeassistant/binary_sensor/wattsight_meter1/register/config")))["value_template"],
              "{{ 'ON' if value_json.differs else 'OFF' }}");

    ASSERT_TRUE(readAfter(0));
    EXPECT_TRUE(eventually(
        [&] { return nextState() && json(broker.retainedAt(State))["register_seen_kwh"].toDouble() == 4815.2; }));
    EXPECT_EQ(command(service, "meter_reading", "camera"),
              "the camera has not yet read the register whole twice a minute apart");
    ASSERT_TRUE(readAfter(60));
    EXPECT_EQ(command(service, "meter_reading", "camera"), "");
    EXPECT_DOUBLE_EQ(reading.reading().kWh(), 4815.2);

    // Checked every REGISTER_CHECK_MINUTES: the register agrees, then moves on 0.7 kWh that were never counted.
    t.ctx.settings.REGISTER_CHECK_MINUTES = 10;
    ASSERT_TRUE(readAfter(600));
    meter.registerKWh = 4815.9;
    capture.setSimulatedMeterSettings(meter);
    ASSERT_TRUE(readAfter(600));
    EXPECT_FALSE(watch.problem()) << "one read far from the count waits for a second";
    EXPECT_TRUE(published(registerTopic, R"({"differs":false})"));
    ASSERT_TRUE(readAfter(60));
    EXPECT_TRUE(published(registerTopic, R"({"differs":true,"problem":"The register reads 4815.9 kWh, 0.70 kWh more )"
                                         R"(than counted."})"))
        << broker.retainedAt(registerTopic).toStdString();
    LoggingEngine logging(t.ctx);
    ASSERT_TRUE(logging.startButton());
    EXPECT_EQ(logging.display().Text13, "The register reads 4815.9 kWh, 0.70 kWh more than counted.");
    ASSERT_EQ(reading.reading().checks.size(), 2u) << "the first check of the day and the one that found it differ";
    EXPECT_NEAR(reading.reading().checks.back().advancedKWh, 0.7, 1e-9);
    EXPECT_EQ(command(service, "meter_reading", "camera"), "");
    EXPECT_DOUBLE_EQ(reading.reading().kWh(), 4815.9);
    EXPECT_TRUE(published(registerTopic, R"({"differs":false})"));
    logging.tick();
    EXPECT_EQ(logging.display().Text13, "Camera is Running");

    t.ctx.settings.REGISTER_REGION.clear();
    EXPECT_TRUE(published(registerTopic, ""));
    EXPECT_TRUE(eventually([&] { return configs() == before; }));
}

TEST(PublishConnection, EachFailureSaysWhyWhileTheCallerNeverWaits)
{
    MosquittoBroker guarded("wattsight", "right");
    ASSERT_TRUE(guarded.start());
    QTcpServer silent; // takes connections and never answers: a broker that hangs
    silent.listen(QHostAddress::LocalHost);
    MqttLibrary mqtt;
    const std::tuple<int, const char*, const char*, const char*> cases[] = {
        {guarded.port(), "wattsight", "wrong", "Connection Refused: not authorised"},
        {silent.serverPort(), "", "", nullptr},
    };
    for (const auto& [port, user, password, reason] : cases) {
        SCOPED_TRACE(port);
        MqttClient client({.host = "127.0.0.1", .port = port, .username = user, .password = password});
        // However the broker behaves, publishing only records the newest payload.
        for (int i = 0; i < 1000; ++i)
            client.publishRetained(QStringLiteral("t/%1").arg(i % 3), QByteArray::number(i));
        const QString endpoint = QStringLiteral("127.0.0.1:%1").arg(port);
        if (!reason) {
            QThread::msleep(500);
            EXPECT_EQ(client.status().text, "Connecting to " + endpoint);
            continue;
        }
        EXPECT_TRUE(eventually([&] {
            return client.status().text.startsWith("Not connected to " + endpoint + ": " + reason);
        })) << client.status().text.toStdString();
    }
}

TEST(PublishConnection, TlsTrustsTheCaFileAndRefusesAnUnknownCertificate)
{
    MosquittoBroker broker;
    const QString caFile = broker.useTls();
    ASSERT_TRUE(broker.start());
    MqttLibrary mqtt;
    for (const QString& ca : {caFile, QString()}) { // empty: the system store, which does not know the test CA
        MqttClient client({.host = "localhost", .port = broker.port(), .useTls = true, .caFile = ca});
        const QString expected =
            ca.isEmpty() ? "Not connected to localhost:%1: TLS handshake failed" : "Connected to localhost:%1";
        EXPECT_TRUE(eventually([&] { return client.status().text.startsWith(expected.arg(broker.port())); }))
            << client.status().text.toStdString();
    }
}

TEST(PublishConnection, AfterAReconnectTheNewestPayloadIsSentLast)
{
    ScriptedBroker broker;
    MqttLibrary mqtt;
    MqttClient client({.host = "127.0.0.1", .port = broker.port()});
    client.publishRetained(QStringLiteral("state"), "1");
    ASSERT_TRUE(broker.accept());
    ASSERT_TRUE(broker.received("state", 1).endsWith("1")) << "sent, and never acknowledged";
    broker.connection->abort();
    ASSERT_TRUE(eventually([&] { return client.status().text.startsWith("Not connected"); }));
    client.publishRetained(QStringLiteral("state"), "2");
    // libmosquitto sends the unacknowledged "1" again; the broker would keep whichever came last.
    ASSERT_TRUE(broker.accept());
    const QByteArray sent = broker.received("state", 2);
    EXPECT_EQ(sent.count("state"), 2);
    EXPECT_TRUE(sent.endsWith("2")) << sent.toHex().toStdString();
}

TEST(PublishConnection, AClientGoesAtOnceAndTheLibraryEndsOnlyAfterItsGoodbye)
{
    ScriptedBroker broker; // reads nothing after the connect, so the goodbye cannot get out
    std::optional<MqttLibrary> mqtt(std::in_place);
    auto client = std::make_unique<MqttClient>(
        MqttOptions{.host = "127.0.0.1", .port = broker.port(), .willTopic = "w", .willPayload = "offline"});
    ASSERT_TRUE(broker.accept());
    ASSERT_TRUE(eventually([&] { return client->status().connected; }));
    client->publishRetained(QStringLiteral("big"), QByteArray(16 << 20, 'x')); // more than the sockets hold

    const quint16 clientPort = broker.connection->peerPort();
    client.reset(); // as Apply and exit do
    EXPECT_TRUE(socketOpenOn(clientPort)) << "the network thread is still saying goodbye";
    mqtt.reset(); // as at the end of main()
    EXPECT_FALSE(socketOpenOn(clientPort)) << "and has ended";
}

} // namespace
