// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ConfigFiles.h"
#include "app/MeterSource.h"
#include "app/PublishSettings.h"
#include "app/SettingsFile.h"
#include "app/UnattendedSettings.h"
#include "service/CommandLine.h"
#include "service/ProgramVersion.h"
#include "support/MosquittoBroker.h"
#include "support/TestContext.h"
#include "unattended/RunMarker.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// As a service manager starts it: no display variable at all.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    return env;
}

struct Ended
{
    int status;
    QByteArray out;
    QByteArray err;
};

Ended runToEnd(const QStringList& arguments)
{
    QProcess program;
    program.setProcessEnvironment(withoutDisplay());
    program.start(QStringLiteral(WATTSIGHT_PROGRAM), arguments);
    program.waitForFinished(60000);
    return {program.exitCode(), program.readAllStandardOutput(), program.readAllStandardError()};
}

TEST(CommandLine, HelpVersionMistakesAndAHeadlessStartWithoutACameraEndAtOnce)
{
    const Ended help = runToEnd({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const QString& option : CommandLine::optionNames())
        EXPECT_TRUE(help.out.contains(option.toUtf8())) << option.toStdString();
    const Ended version = runToEnd({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QByteArray("wattsight ") + ProgramVersion + '\n');

    for (const QStringList& wrong : {QStringList{"--frobnicate"}, QStringList{"--data-dir"}, QStringList{"stray"},
                                     QStringList{"--data-dir", "/no/such/folder"}, QStringList{"-style"}}) {
        const Ended r = runToEnd(wrong);
        EXPECT_EQ(r.status, 2) << wrong.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("wattsight: ") && r.err.contains("\nUsage: wattsight")) << r.err.toStdString();
    }

    QTemporaryDir empty;
    const Ended noCamera = runToEnd({"--headless", "--data-dir", empty.path()});
    EXPECT_EQ(noCamera.status, 2);
    EXPECT_TRUE(noCamera.err.contains(" warning: No camera to start: ")) << noCamera.err.toStdString();
}

TEST(ManPage, DescribesEveryOption)
{
    const QString page = QString::fromUtf8(fileBytes(QStringLiteral(WATTSIGHT_MAN_PAGE)));
    for (QString option : CommandLine::optionNames())
        EXPECT_TRUE(page.contains(option.replace('-', QStringLiteral("\\-")))) << option.toStdString();
}

// The datagrams a service manager would get, on a socket of the test's own (NOTIFY_SOCKET).
class NotifySocket
{
public:
    explicit NotifySocket(const QString& path) : m_path(path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, path.toLocal8Bit().constData(), sizeof address.sun_path);
        m_bound = ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~NotifySocket() { ::close(m_fd); }
    bool bound() const { return m_bound; }
    const QString& path() const { return m_path; }
    // Everything received so far, one message a line.
    QByteArray received()
    {
        char buffer[512];
        ssize_t size;
        while ((size = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0)
            m_received += QByteArray(buffer, size) + '\n';
        return m_received;
    }

private:
    QString m_path;
    int m_fd = -1;
    bool m_bound = false;
    QByteArray m_received;
};

// The simulated meter remembered and started at start-up, a logging run noted as unfinished, publishing to the
// test's broker, and the program started headless on that folder as a service manager would.
class HeadlessRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(notify.bound() && broker.start());
        GlobalSettings& s = t.ctx.settings;
        s.CAMERA_DEVICE = MeterSource::SimulatedMeterDevice;
        s.CAMERA_VIDEO_SIZE = QStringLiteral("160 x 120");
        s.SIMULATED_POWER_WATTS = 12000; // a revolution a second
        s.START_CAMERA_AT_STARTUP = s.RESUME_LOGGING_AFTER_RESTART = true;
        s.LOGGING_INTERVAL_SECONDS = 30;
        s.ARRAY_WRITE_INTERVAL_SECONDS = 7200; // only a stop backs up within the test
        s.PUBLISH_MQTT = true;
        s.MQTT_HOST = QStringLiteral("127.0.0.1");
        s.MQTT_PORT = broker.port();
        for (const QString& error :
             {SaveLoggingSettings(t.ctx), SaveAdvancedSettings(t.ctx),
              SaveSettingsFile(t.ctx, UnattendedSettingsFile()), SaveSettingsFile(t.ctx, PublishSettingsFile()),
              RunMarker::noteRunStarted(t.ctx, QDateTime::currentDateTime().addSecs(-60))})
            ASSERT_EQ(error, QString());
    }
    void TearDown() override
    {
        program.kill();
        program.waitForFinished(5000);
    }

    void start()
    {
        QProcessEnvironment env = withoutDisplay();
        env.insert(QStringLiteral("NOTIFY_SOCKET"), notify.path());
        env.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("2000000"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(WATTSIGHT_PROGRAM), {"--headless", "--data-dir", t.dir.path()});
        ASSERT_TRUE(program.waitForStarted(10000));
        ready += 1;
        ASSERT_TRUE(waitFor([&] { return notify.received().count("READY=1") == ready; }))
            << program.readAllStandardError().toStdString();
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
    qint64 revolutions(const QString& base)
    {
        const QByteArray state = broker.retainedAt(base + QStringLiteral("/meter1/state"));
        return QJsonDocument::fromJson(state).object().value(QStringLiteral("revolutions")).toInteger();
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
    MosquittoBroker broker;
    QProcess program;
    int ready = 0;
    QByteArray log;
};

TEST_F(HeadlessRun, CountsAndStopsCleanlyOnSignalsAndResumesTheLoggingRunAfterAStopAndAKill)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(waitFor([&] { return revolutions(QStringLiteral("wattsight")) >= 2; })) << log.toStdString();
    // SIGHUP: the settings files are read again; publishing moves to the new base topic.
    t.ctx.settings.MQTT_BASE_TOPIC = QStringLiteral("box");
    ASSERT_EQ(SaveSettingsFile(t.ctx, PublishSettingsFile()), "");
    ::kill(pid_t(program.processId()), SIGHUP);
    ASSERT_TRUE(waitFor([&] { return revolutions(QStringLiteral("box")) >= 1; })) << log.toStdString();
    ASSERT_TRUE(stopsCleanly(SIGTERM)) << log.toStdString();
    EXPECT_EQ(broker.retainedAt(QStringLiteral("box/meter1/availability")), "offline");
    const QByteArray told = notify.received();
    EXPECT_TRUE(told.contains("WATCHDOG=1\n") && told.contains("STOPPING=1\n")) << told.toStdString();
    EXPECT_TRUE(RunMarker::unfinishedRun(t.ctx).has_value()) << "the run stays noted for the next start";

    ASSERT_NO_FATAL_FAILURE(start());
    program.kill();
    ASSERT_TRUE(program.waitForFinished(10000));

    // The third start goes on with the same run: its first record (30 s on) says so, and SIGINT backs it up.
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(waitFor([&] { return revolutions(QStringLiteral("box")) >= 33; }, 90)) << log.toStdString();
    ASSERT_TRUE(stopsCleanly(SIGINT)) << log.toStdString();
    EXPECT_TRUE(fileBytes(t.ctx.paths.dataStore).contains(",Resumed after restart; gap "))
        << fileBytes(t.ctx.paths.dataStore).toStdString();
}

} // namespace
