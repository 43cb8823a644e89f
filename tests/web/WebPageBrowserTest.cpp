// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MeterSource.h"
#include "app/PublishSettings.h"
#include "app/SettingsFile.h"
#include "app/UnattendedSettings.h"
#include "support/BrowserSession.h"
#include "support/ReservedPort.h"
#include "support/TestContext.h"

#include <QDir>
#include <QProcess>
#include <QTcpSocket>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>

namespace {

constexpr double SimulatedWatts = 12000; // a revolution a second: Find Mark sees its passes soon

// The power the page shows, in watts; NaN while it shows none.
double shownWatts(const QString& text)
{
    bool isNumber = false;
    const double value = text.section(u' ', 0, 0).remove(u',').toDouble(&isNumber);
    return !isNumber ? std::nan("") : text.endsWith(QLatin1String(" kW")) ? value * 1000 : value;
}

// The headless program counting the simulated meter and serving its page on a port of the test's, looked at
// through a real browser the size of a phone.
struct PageInBrowser : ::testing::Test
{
    void SetUp() override
    {
        GlobalSettings& s = t.ctx.settings;
        std::tie(s.CAMERA_DEVICE, s.CAMERA_VIDEO_SIZE) =
            std::tuple(MeterSource::SimulatedMeterDevice, QStringLiteral("320 x 240"));
        s.SIMULATED_POWER_WATTS = int(SimulatedWatts);
        s.START_CAMERA_AT_STARTUP = true;
        ASSERT_EQ(SaveSettingsFile(t.ctx, UnattendedSettingsFile()), QString());
        ASSERT_EQ(browser.start(), QString());
        browser.setWindowSize(360, 740);
    }
    void TearDown() override
    {
        if (program.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(program.processId()), SIGTERM);
        program.waitForFinished(10000);
    }

    // The password as a person types it into the file: the program keeps its hash there instead.
    void startProgram(const QString& password)
    {
        GlobalSettings& s = t.ctx.settings;
        std::tie(s.WEB_PAGE, s.WEB_ADDRESS, s.WEB_PORT, s.WEB_PASSWORD) =
            std::tuple(true, QStringLiteral("127.0.0.1"), port.port(), password);
        ASSERT_EQ(SaveSettingsFile(t.ctx, PublishSettingsFile()), QString());
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(WATTSIGHT_HEADLESS), {"--data-dir", t.dir.path()});
        ASSERT_TRUE(program.waitForStarted(10000));
        const bool serving = browser.waitFor(
            [&] {
                QTcpSocket probe;
                probe.connectToHost(QStringLiteral("127.0.0.1"), quint16(port.port()));
                return probe.waitForConnected(200) || program.state() != QProcess::Running;
            },
            60);
        ASSERT_TRUE(serving && program.state() == QProcess::Running) << log();
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(port.port()); }
    bool showsSimulatedPower(int seconds)
    {
        return browser.waitFor([&] { return std::abs(shownWatts(browser.text("#power")) - SimulatedWatts) < 1800; },
                               seconds);
    }
    std::string log()
    {
        output += program.readAll();
        return output.toStdString();
    }

    TestContext t;
    ReservedPort port;
    QProcess program;
    QByteArray output;
    // Ends before the program does.
    BrowserSession browser;
};

TEST_F(PageInBrowser, ShowsThePowerAndThePictureAndFindsTheMarkFromAPhone)
{
    ASSERT_NO_FATAL_FAILURE(startProgram(QString()));
    browser.go(url());
    ASSERT_TRUE(showsSimulatedPower(60)) << browser.text("#power").toStdString() << '\n' << log();
    EXPECT_TRUE(browser.waitFor([&] { return browser.property("#picture", "naturalWidth").toInt() == 320; }, 30));

    // A refusal is told beside the field that sent it, until a reading is taken.
    browser.type("#reading-input", "99999999999");
    browser.click("#reading-set");
    EXPECT_TRUE(browser.waitForText("#reading-refusal", "The meter reading must be a number of kWh", 30));
    browser.type("#reading-input", "12231.4");
    browser.click("#reading-set");
    EXPECT_TRUE(browser.waitForText("#reading", "12,231.4", 30));
    EXPECT_EQ(browser.text("#reading-refusal"), QString());

    browser.click("#fm-start");
    const bool proposed =
        browser.waitFor([&] { return browser.enabled("#fm-accept") && !browser.text("#fm-proposal").isEmpty(); }, 180);
    ASSERT_TRUE(proposed) << browser.text("#fm-status").toStdString() << '\n' << log();
    EXPECT_FALSE(browser.enabled("#fm-start")) << "a second Find Mark while one waits for an answer";
    // The page as the phone shows it, scrolled to its top, and the desktop's.
    browser.go(url());
    ASSERT_TRUE(browser.waitFor([&] { return !browser.text("#fm-proposal").isEmpty(); }, 30));
    if (qEnvironmentVariable("WATTSIGHT_SCREENSHOTS") == QLatin1String("1")) {
        const QDir folder(QStringLiteral(WATTSIGHT_SCREENSHOT_DIR));
        browser.screenshot(folder.filePath(QStringLiteral("WebPage-phone.png")));
        browser.setWindowSize(1280, 800);
        browser.screenshot(folder.filePath(QStringLiteral("WebPage-desktop.png")));
    }
}

TEST_F(PageInBrowser, AsksForThePasswordAndShowsTheFiguresOnlyOnceItIsRight)
{
    const QString password = QStringLiteral("kettle on 7");
    ASSERT_NO_FATAL_FAILURE(startProgram(password));
    browser.go(url());
    ASSERT_TRUE(browser.waitForText("#signin-form", "Sign in", 30));
    EXPECT_EQ(browser.text("#power"), QString());

    browser.type("#signin-password", "kettle off");
    browser.click("#signin-submit");
    ASSERT_TRUE(browser.waitForText("#signin-form", "Wrong password", 30));
    browser.type("#signin-password", password);
    browser.click("#signin-submit");
    ASSERT_TRUE(showsSimulatedPower(60)) << browser.text("#power").toStdString() << '\n' << log();
    EXPECT_EQ(browser.text("#signout"), "Sign out");
}

} // namespace
