// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ConfigFiles.h"
#include "app/DetectorSettings.h"
#include "app/MeterSource.h"
#include "app/PublishSettings.h"
#include "app/SettingsFile.h"
#include "app/UnattendedSettings.h"
#include "service/CommandLine.h"
#include "service/ProgramVersion.h"
#include "support/HttpExchange.h"
#include "support/MosquittoBroker.h"
#include "support/ReservedPort.h"
#include "support/TestContext.h"
#include "unattended/RunMarker.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpSocket>
#include <QUrl>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The datagrams a service manager gets (NOTIFY_SOCKET), on a socket of the test's own.
struct NotifySocket
{
    explicit NotifySocket(const QString& at) : path(at)
    {
        sockaddr_un address{AF_UNIX, {}};
        qstrncpy(address.sun_path, path.toLocal8Bit().constData(), sizeof address.sun_path);
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~NotifySocket() { ::close(fd); }
    // Everything received so far, a message a line.
    QByteArray received()
    {
        char buffer[512];
        for (ssize_t size; (size = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
            all += QByteArray(buffer, size) + '\n';
        return all;
    }

    QString path;
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    bool bound = false;
    QByteArray all;
};

// The program started as a service manager starts it: no display variable at all, a socket to notify. QProcess
// kills it when the test ends early.
struct Program : ::testing::Test
{
    void start(const QStringList& arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("NOTIFY_SOCKET"), notify.path);
        env.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("2000000"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(WATTSIGHT_PROGRAM), arguments);
        ASSERT_TRUE(program.waitForStarted(10000));
    }
    // Its status; `out` gets standard output and error.
    int runToEnd(const QStringList& arguments, QByteArray& out)
    {
        start(arguments);
        program.waitForFinished(60000);
        out = program.readAllStandardOutput() + program.readAllStandardError();
        return program.exitCode();
    }
    // Keeps reading the program's output and notifications meanwhile: a full pipe or socket would hold it up.
    bool waitFor(const std::function<bool()>& done, int seconds = 30)
    {
        const QDeadlineTimer deadline(seconds * 1000);
        while (!done()) {
            if (deadline.hasExpired() || program.state() != QProcess::Running)
                return false;
            program.waitForReadyRead(200);
            log += program.readAllStandardError();
            notify.received();
        }
        return true;
    }
    // True when the program ended by itself with status 0.
    bool stopsCleanly(int signal)
    {
        ::kill(pid_t(program.processId()), signal);
        return program.waitForFinished(10000) && program.exitStatus() == QProcess::NormalExit &&
               program.exitCode() == 0;
    }

    TestContext t;
    NotifySocket notify{t.path(QStringLiteral("notify"))};
    QProcess program;
    QByteArray log;
};

TEST_F(Program, AnswersHelpVersionAndMistakesAtOnceAndTheManPageHasEveryOption)
{
    QByteArray out;
    EXPECT_EQ(runToEnd({"--version"}, out), 0);
    EXPECT_EQ(out, QByteArray("wattsight ") + ProgramVersion + '\n');
    EXPECT_EQ(runToEnd({"--help"}, out), 0);
    const QString page = QString::fromUtf8(fileBytes(QStringLiteral(WATTSIGHT_MAN_PAGE)));
    for (QString option : CommandLine::optionNames()) {
        EXPECT_TRUE(out.contains(option.toUtf8())) << option.toStdString();
        EXPECT_TRUE(page.contains(option.replace('-', QStringLiteral("\\-")))) << option.toStdString();
    }
    for (const QStringList& wrong : {QStringList{"--frobnicate"}, QStringList{"--data-dir"}, QStringList{"stray"},
                                     QStringList{"--data-dir", "/no/such/folder"}, QStringList{"-style"}}) {
        EXPECT_EQ(runToEnd(wrong, out), 2) << wrong.join(' ').toStdString();
        EXPECT_TRUE(out.startsWith("wattsight: ") && out.contains("\nUsage: wattsight")) << out.toStdString();
    }
    // Without a display and without --headless: one line that names the way out, not Qt's abort.
    EXPECT_EQ(runToEnd({"--data-dir", t.dir.path()}, out), 2);
    EXPECT_TRUE(out.count('\n') == 1 && out.contains("no display") && out.contains("--headless")) << out.toStdString();
    EXPECT_EQ(runToEnd({"--headless", "--data-dir", t.dir.path()}, out), 2);
    EXPECT_TRUE(out.contains(" warning: No camera to start: ")) << out.toStdString();
    // Nor is a remembered recording that is not there: unlike a camera, it does not turn up by waiting.
    GlobalSettings& s = t.ctx.settings;
    std::tie(s.START_CAMERA_AT_STARTUP, s.CAMERA_DEVICE, s.CAMERA_VIDEO_FILE) =
        std::tuple(true, MeterSource::VideoFileDevice, t.path(QStringLiteral("meter.mp4")));
    ASSERT_EQ(SaveSettingsFile(t.ctx, UnattendedSettingsFile()), "");
    EXPECT_EQ(runToEnd({"--headless", "--data-dir", t.dir.path()}, out), 2);
    EXPECT_TRUE(out.contains("No camera to start: the remembered video file")) << out.toStdString();
}

// The simulated meter remembered and started at start-up, a logging run noted as unfinished, publishing to the
// test's broker.
struct HeadlessRun : Program
{
    void SetUp() override
    {
        ASSERT_TRUE(notify.bound && broker.start());
        GlobalSettings& s = t.ctx.settings;
        std::tie(s.CAMERA_DEVICE, s.CAMERA_VIDEO_SIZE) =
            std::tuple(MeterSource::SimulatedMeterDevice, QStringLiteral("160 x 120"));
        s.SIMULATED_POWER_WATTS = 12000; // a revolution a second
        s.START_CAMERA_AT_STARTUP = s.RESUME_LOGGING_AFTER_RESTART = s.PUBLISH_MQTT = true;
        s.LOGGING_INTERVAL_SECONDS = 30;
        s.ARRAY_WRITE_INTERVAL_SECONDS = 7200; // only a stop backs up within the test
        std::tie(s.MQTT_HOST, s.MQTT_PORT) = std::tuple(QStringLiteral("127.0.0.1"), broker.port());
        for (const QString& error :
             {SaveLoggingSettings(t.ctx), SaveAdvancedSettings(t.ctx),
              SaveSettingsFile(t.ctx, UnattendedSettingsFile()), SaveSettingsFile(t.ctx, PublishSettingsFile()),
              RunMarker::noteRunStarted(t.ctx, QDateTime::currentDateTime().addSecs(-60))})
            ASSERT_EQ(error, QString());
    }
    void startHeadless()
    {
        start({"--headless", "--data-dir", t.dir.path()});
        const qsizetype ready = notify.received().count("READY=1") + 1;
        ASSERT_TRUE(waitFor([&] { return notify.received().count("READY=1") == ready; })) << log.toStdString();
    }
    qint64 revolutions(const QString& base)
    {
        return QJsonDocument::fromJson(broker.retainedAt(base + "/meter1/state")).object()["revolutions"].toInteger();
    }

    MosquittoBroker broker;
};

TEST_F(HeadlessRun, CountsAndStopsCleanlyOnSignals)
{
    ASSERT_NO_FATAL_FAILURE(startHeadless());
    ASSERT_TRUE(waitFor([&] { return revolutions(QStringLiteral("wattsight")) >= 2; })) << log.toStdString();
    // Counting and publishing with no widget library in the process.
    const QByteArray maps = fileBytes(QStringLiteral("/proc/%1/maps").arg(program.processId()));
    EXPECT_TRUE(maps.contains("libQt6Core") && !maps.contains("libQt6Widgets")) << maps.toStdString();
    // SIGHUP: the settings files are read again; publishing moves to the new base topic.
    t.ctx.settings.MQTT_BASE_TOPIC = QStringLiteral("box");
    ASSERT_EQ(SaveSettingsFile(t.ctx, PublishSettingsFile()), "");
    ::kill(pid_t(program.processId()), SIGHUP);
    ASSERT_TRUE(waitFor([&] { return revolutions(QStringLiteral("box")) >= 1; })) << log.toStdString();
    ASSERT_TRUE(stopsCleanly(SIGTERM)) << log.toStdString();
    EXPECT_EQ(broker.retainedAt(QStringLiteral("box/meter1/availability")), "offline");
    const QByteArray told = notify.received();
    EXPECT_TRUE(told.contains("WATCHDOG=1\n") && told.contains("STOPPING=1\n")) << told.toStdString();
}

TEST_F(HeadlessRun, AwaitsARememberedCameraThatIsNotPluggedInAndPublishesMeanwhile)
{
    // No logging run either, whose tick would feed the watchdog in the camera's stead.
    t.ctx.settings.CAMERA_DEVICE = QStringLiteral("Wattsight test camera");
    ASSERT_EQ(SaveSettingsFile(t.ctx, UnattendedSettingsFile()), "");
    ASSERT_EQ(RunMarker::noteRunStopped(t.ctx), "");
    ASSERT_NO_FATAL_FAILURE(startHeadless());
    ASSERT_TRUE(waitFor([&] { return notify.received().count("WATCHDOG=1") >= 2; }, 10)) << log.toStdString();
    EXPECT_TRUE(log.contains("Camera lost: Wattsight test camera")) << log.toStdString();
    EXPECT_EQ(broker.retainedAt(QStringLiteral("wattsight/meter1/availability")), "online");
    const QJsonObject state = QJsonDocument::fromJson(broker.retainedAt("wattsight/meter1/state")).object();
    EXPECT_EQ(state["camera"].toString(), "lost");
    ASSERT_TRUE(stopsCleanly(SIGTERM)) << log.toStdString();
}

TEST_F(HeadlessRun, SettingsEditedInTheirFilesReachTheReadingEnergyAndPowerAtOnceWithNoRun)
{
    // No run to resume: no minute of a run takes the working values.
    std::tie(t.ctx.settings.RESUME_LOGGING_AFTER_RESTART, t.ctx.settings.ACCEPT_MQTT_COMMANDS) =
        std::tuple(false, true);
    ASSERT_EQ(SaveSettingsFile(t.ctx, UnattendedSettingsFile()), "");
    ASSERT_EQ(SaveSettingsFile(t.ctx, PublishSettingsFile()), "");
    ASSERT_NO_FATAL_FAILURE(startHeadless());
    const auto state = [&] { return QJsonDocument::fromJson(broker.retainedAt("wattsight/meter1/state")).object(); };
    broker.send(QStringLiteral("wattsight/meter1/meter_reading/set"), {"-m", "1000"});
    ASSERT_TRUE(waitFor([&] { return state()["meter_reading_kwh"].toDouble() >= 1000; })) << log.toStdString();

    // The simulated disc turns once a second: 12 kW at 300 revolutions per kWh, 6 kW once corrected to 600.
    t.ctx.settings.REVS_PER_KWH = 600;
    ASSERT_EQ(SaveMeterSettings(t.ctx), "");
    ::kill(pid_t(program.processId()), SIGHUP);
    ASSERT_TRUE(waitFor([&] { return log.contains("The settings files were read again."); }));
    // A revolution counted before the files were read may still wait to go out with the next state.
    const qint64 before = state()["revolutions"].toInteger();
    ASSERT_TRUE(waitFor([&] { return state()["revolutions"].toInteger() >= before + 2; }));
    const QJsonObject from = state();
    ASSERT_TRUE(waitFor([&] { return state()["revolutions"].toInteger() >= from["revolutions"].toInteger() + 3; }));
    const QJsonObject to = state();
    const double kWh = double(to["revolutions"].toInteger() - from["revolutions"].toInteger()) / 600;
    EXPECT_NEAR(to["meter_reading_kwh"].toDouble() - from["meter_reading_kwh"].toDouble(), kWh, 1e-6);
    EXPECT_NEAR(to["energy_kwh"].toDouble() - from["energy_kwh"].toDouble(), kWh, 1e-6);
    // The frames' times are a loaded machine's: within a few per cent, where the old constant would be twice off.
    if (!to["power_is_bound"].toBool()) {
        EXPECT_NEAR(to["power_w"].toDouble(), 6000, 900);
    }

    // A sunny spell on a meter without a backstop: with its direction counted, the disc turning backwards takes
    // each revolution off the reading and adds it to the energy exported.
    t.ctx.settings.COUNT_DIRECTION = true;
    t.ctx.settings.FORWARD_DIRECTION = QStringLiteral("0"); // the simulated mark moves to the right
    t.ctx.settings.SIMULATED_POWER_WATTS = -12000;
    ASSERT_EQ(SaveSettingsFile(t.ctx, DetectorSettingsFile()) + SaveSettingsFile(t.ctx, UnattendedSettingsFile()), "");
    ::kill(pid_t(program.processId()), SIGHUP);
    ASSERT_TRUE(waitFor([&] { return state()["energy_export_kwh"].toDouble() >= 2.0 / 600; })) << log.toStdString();
    const QJsonObject exporting = state();
    ASSERT_TRUE(waitFor([&] { return state()["energy_export_kwh"].toDouble() >= 5.0 / 600; }));
    const QJsonObject exported = state();
    const double backwards = (exported["energy_export_kwh"].toDouble() - exporting["energy_export_kwh"].toDouble());
    // Each of the four figures is published to a millionth of a kWh.
    EXPECT_NEAR(exported["meter_reading_kwh"].toDouble() - exporting["meter_reading_kwh"].toDouble(), -backwards,
                2.5e-6);
    EXPECT_EQ(exported["energy_import_kwh"].toDouble(), exporting["energy_import_kwh"].toDouble());
    EXPECT_LT(exported["revolutions"].toInteger(), exporting["revolutions"].toInteger());
    if (!exported["power_is_bound"].toBool()) {
        EXPECT_NEAR(exported["power_w"].toDouble(), -6000, 900);
    }
}

// Prometheus as its users run it, on this machine's loopback: it scrapes the page's /metrics with the password.
struct PrometheusServer
{
    PrometheusServer(const QString& folder, quint16 target, const QByteArray& password)
    {
        const QString config = QDir(folder).filePath(QStringLiteral("prometheus.yml"));
        writeFileBytes(config, "global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: wattsight\n"
                               "    basic_auth: {username: prometheus, password: \"" +
                                   password + "\"}\n    static_configs:\n      - targets: [\"127.0.0.1:" +
                                   QByteArray::number(target) + "\"]\n");
        port = std::make_unique<ReservedPort>();
        process.start(QStringLiteral("prometheus"),
                      {"--config.file=" + config, "--storage.tsdb.path=" + QDir(folder).filePath("tsdb"),
                       QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(port->port())});
    }
    ~PrometheusServer()
    {
        process.kill();
        process.waitForFinished(10000);
    }
    // The first value of an instant query; none while Prometheus has none.
    std::optional<double> query(const QByteArray& promql)
    {
        const HttpReply r =
            HttpExchange(port->port(), HttpRequest("GET", "/api/v1/query?query=" + QUrl::toPercentEncoding(promql)));
        const QJsonArray result = r.json()["data"].toObject()["result"].toArray();
        if (result.isEmpty())
            return std::nullopt;
        return result[0].toObject()["value"].toArray()[1].toString().toDouble();
    }

    std::unique_ptr<ReservedPort> port;
    QProcess process;
};

// The page of a box, with a password: a real Prometheus scrapes its /metrics; a client that stops half way, a
// megabyte of header and a thousand requests in a row leave the disc's count as it was.
TEST_F(HeadlessRun, ServesItsPageToPrometheusAndAbusiveClientsNeverHoldUpTheCount)
{
    const ReservedPort web;
    GlobalSettings& s = t.ctx.settings;
    std::tie(s.WEB_PAGE, s.WEB_PORT, s.WEB_PASSWORD) = std::tuple(true, web.port(), QStringLiteral("scrape me"));
    ASSERT_EQ(SaveSettingsFile(t.ctx, PublishSettingsFile()), "");
    ASSERT_NO_FATAL_FAILURE(startHeadless());
    ASSERT_TRUE(waitFor([&] { return log.contains("Serving the page at http://127.0.0.1:"); })) << log.toStdString();
    const QByteArray basic = "Authorization: Basic " + QByteArray("prometheus:scrape me").toBase64();
    const auto get = [&](const QByteArray& path) {
        return HttpExchange(quint16(web.port()), HttpRequest("GET", path, {}, {basic}));
    };
    ASSERT_TRUE(waitFor([&] { return revolutions(QStringLiteral("wattsight")) >= 2; })) << log.toStdString();

    PrometheusServer prometheus(t.dir.path(), quint16(web.port()), "scrape me");
    ASSERT_TRUE(prometheus.process.waitForStarted(10000)) << "prometheus is missing: scripts/install-deps installs it";
    std::optional<double> scraped;
    ASSERT_TRUE(waitFor(
        [&] {
            scraped = prometheus.query("wattsight_revolutions_total{direction=\"forward\"}");
            return scraped && *scraped >= 3;
        },
        60))
        << prometheus.process.readAllStandardError().toStdString();
    std::optional<double> power;
    EXPECT_TRUE(waitFor([&] { return (power = prometheus.query("wattsight_power_watts")).has_value(); }));
    EXPECT_NEAR(power.value_or(0), 12000, 1800);

    // The count over 10 s left alone, then over 10 s of abuse: what a loaded machine misses, it misses in both.
    const auto countedOver = [&](const std::function<void()>& meanwhile) {
        const qint64 before = revolutions(QStringLiteral("wattsight"));
        QElapsedTimer elapsed;
        elapsed.start();
        meanwhile();
        EXPECT_TRUE(waitFor([&] { return elapsed.elapsed() >= 10000; }, 60));
        return revolutions(QStringLiteral("wattsight")) - before;
    };
    const qint64 alone = countedOver([] {});
    QTcpSocket halfWay, huge;
    const qint64 abused = countedOver([&] {
        halfWay.connectToHost(QHostAddress::LocalHost, quint16(web.port()));
        halfWay.write("GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthor");
        huge.connectToHost(QHostAddress::LocalHost, quint16(web.port()));
        huge.write("GET /api/state HTTP/1.1\r\nX-Big: " + QByteArray(1 << 20, 'a') + "\r\n\r\n");
        for (int i = 0; i < 1000; ++i)
            ASSERT_EQ(get("/api/state").status, 200) << "request " << i;
    });
    // The state goes out up to a second after a revolution, so each count may be one off.
    EXPECT_GE(abused, alone - 2) << "left alone " << alone << ", abused " << abused;
    ASSERT_TRUE(stopsCleanly(SIGTERM)) << log.toStdString();
}

} // namespace
