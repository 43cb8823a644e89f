// SPDX-License-Identifier: GPL-3.0-or-later
// The page's server in this process, on a loopback port, asked by raw HTTP as any client would.
#include "web/WebPage.h"

#include "app/ConfigFiles.h"
#include "app/PublishSettings.h"
#include "app/SettingsFile.h"
#include "capture/MeterCamera.h"
#include "metering/LoggingEngine.h"
#include "metering/MeterReadingStore.h"
#include "metering/PulseSignal.h"
#include "metering/TripEngine.h"
#include "publish/MqttLibrary.h"
#include "publish/PublishPayloads.h"
#include "publish/PublishService.h"
#include "publish/RunCommands.h"
#include "support/HttpExchange.h"
#include "support/MosquittoBroker.h"
#include "support/ReservedPort.h"
#include "support/TestContext.h"
#include "web/PasswordHash.h"

#include <QJsonObject>
#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct WebPageTest : ::testing::Test
{
    void SetUp() override
    {
        MakeDefaultSettingsFiles(t.ctx);
        ASSERT_EQ(reading.load(), "");
        reading.setCameraSource(Simulated);
    }
    // The page on, at 127.0.0.1 on a port of its own, as the settings screen or the file would have it.
    void serve(const QString& password = {})
    {
        std::tie(t.ctx.settings.WEB_PAGE, t.ctx.settings.WEB_PORT, t.ctx.settings.WEB_PASSWORD) =
            std::tuple(true, port.port(), password);
        publish.applySettings();
        ASSERT_EQ(web.port(), port.port()) << web.statusText().toStdString();
    }
    HttpReply get(const QByteArray& path, const QList<QByteArray>& headers = {"X-Wattsight-Page: 1"})
    {
        return HttpExchange(web.port(), HttpRequest("GET", path, {}, headers));
    }
    HttpReply post(const QByteArray& path, const QByteArray& body,
                   const QList<QByteArray>& headers = {"X-Wattsight-Page: 1"}, const QHostAddress& from = {})
    {
        return HttpExchange(web.port(), HttpRequest("POST", path, body, headers), from);
    }

    TestContext t;
    const MeterSource Simulated = MeterSource::ofDevice(MeterSource::SimulatedMeterDevice, {});
    MeterReadingStore reading{t.ctx};
    PublishService publish{t.ctx, reading};
    MeterCamera camera{t.ctx};
    TripEngine trip{t.ctx};
    LoggingEngine logging{t.ctx};
    RunCommands runCommands{publish, trip, logging};
    WebPage web{t.ctx, publish, camera, trip};
    ReservedPort port;
};

TEST_F(WebPageTest, OffAtTheFactoryAndNeverOpenToOtherMachinesWithoutAPassword)
{
    publish.applySettings();
    EXPECT_EQ(web.statusText(), "The web page is off");
    std::tie(t.ctx.settings.WEB_PAGE, t.ctx.settings.WEB_ADDRESS) = std::tuple(true, QStringLiteral("0.0.0.0"));
    publish.applySettings();
    EXPECT_TRUE(web.statusText().startsWith("The web page is not served: at 0.0.0.0"))
        << web.statusText().toStdString();

    // A port another program holds is said, and taken once it is free and the settings are applied again.
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::LocalHost));
    const quint16 freed = other.serverPort();
    std::tie(t.ctx.settings.WEB_ADDRESS, t.ctx.settings.WEB_PORT) = std::tuple(QStringLiteral("127.0.0.1"), freed);
    publish.applySettings();
    EXPECT_EQ(web.statusText(),
              QStringLiteral("The web page is not served: port %1 at 127.0.0.1 is taken (another program may use it)")
                  .arg(freed));
    other.close();
    publish.applySettings();
    EXPECT_EQ(web.statusText(), QStringLiteral("Serving the page at http://127.0.0.1:%1/").arg(freed));
}

// /api/state is what the broker gets, byte for byte; the page's commands are the broker's.
TEST_F(WebPageTest, EveryEndpointAnswersAndTheStateIsTheBrokersOwn)
{
    MosquittoBroker broker;
    ASSERT_TRUE(broker.start());
    MqttLibrary mqtt;
    std::tie(t.ctx.settings.PUBLISH_MQTT, t.ctx.settings.MQTT_HOST, t.ctx.settings.MQTT_PORT) =
        std::tuple(true, QStringLiteral("127.0.0.1"), broker.port());
    serve();
    t.ctx.blnGlobalCameraRunning = true;
    for (int i = 0; i < 3; ++i) {
        t.clock.advance(4);
        RegisterPulse(t.ctx, 0, t.clock.timer(), Simulated);
    }
    const QString state = PublishTopics(t.ctx.settings).state;
    // A state sent now, at a clock that stands still meanwhile.
    t.clock.advance(1);
    publish.publisher()->readingChanged();
    publish.publisher()->tick();
    HttpReply stateReply;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            stateReply = get("/api/state");
            return stateReply.body == broker.retainedAt(state);
        },
        10000))
        << stateReply.body.toStdString();
    EXPECT_TRUE(get("/").header("Content-Security-Policy").contains("default-src 'none'"));

    const QJsonObject info = get("/api/page").json();
    EXPECT_EQ(info["camera_text"].toString(), "Camera is Running");
    EXPECT_NEAR(info["today"].toObject()["energy_kwh"].toDouble(), 3 / t.ctx.settings.REVS_PER_KWH, 1e-12);
    EXPECT_EQ(info["find_mark"].toObject()["status"].toString(), "Not running");
    EXPECT_EQ(info["logging"].toString(), "stopped");
    EXPECT_FALSE(info.contains("register")) << "no register region: nothing of it";

    EXPECT_EQ(get("/api/picture").json()["error"].toString(), "the camera is not running");

    // Commands, refused and carried out, by the broker's own handlers.
    EXPECT_EQ(post("/api/command/meter_reading", "12,5").json()["error"].toString(), "\"12,5\" is not a number of kWh");
    EXPECT_EQ(publish.commandRefusal(), "Command on the web page's meter_reading refused: \"12,5\" is not a number of "
                                        "kWh");
    EXPECT_EQ(post("/api/command/trip", "stop").status, 409);
    EXPECT_EQ(post("/api/command/trip", "start").body, R"({"done":true})");
    EXPECT_TRUE(get("/api/page").json()["trip"].toObject()["running"].toBool());

    // What a page elsewhere could make a browser send has no header of ours.
    EXPECT_EQ(post("/api/command/trip", "stop", {"Content-Type: text/plain"}).status, 403);
    EXPECT_TRUE(t.ctx.blnGlobalTripRunning);
    EXPECT_EQ(post("/api/command/no_such", "x").status, 404);
    EXPECT_EQ(get("/api/command/trip").status, 405);
    EXPECT_EQ(get("/api/nothing").status, 404);
}

TEST_F(WebPageTest, APasswordTypedIntoTheFileIsKeptAsItsHashAndGuardsEveryRequest)
{
    serve(QStringLiteral("correct horse"));
    EXPECT_TRUE(fileBytes(SettingsFilePath(t.ctx, PublishSettingsFile()))
                    .contains("WEB_PASSWORD=" + t.ctx.settings.WEB_PASSWORD.toUtf8() + "\r\n"));

    const HttpReply asked = get("/api/state", {});
    EXPECT_EQ(asked.status, 401);
    EXPECT_TRUE(asked.header("WWW-Authenticate").startsWith("Basic")) << "a scraper is offered Basic";
    const HttpReply fromPage = get("/api/state");
    EXPECT_EQ(fromPage.json()["error"].toString(), "Sign in with the page's password");
    EXPECT_TRUE(fromPage.header("WWW-Authenticate").isEmpty()) << "the page shows its own form, not the browser's";
    EXPECT_EQ(get("/metrics", {"Authorization: Basic " + QByteArray("x:wrong").toBase64()}).status, 401);

    // Signed in by the form, the cookie opens everything until signed out.
    const HttpReply in = post("/api/login", "password=correct+horse");
    EXPECT_EQ(in.status, 204);
    const QByteArray cookie = in.header("Set-Cookie");
    EXPECT_TRUE(cookie.contains("HttpOnly") && cookie.contains("SameSite=Strict"));
    const QByteArray session = "Cookie: " + cookie.left(cookie.indexOf(';'));
    EXPECT_EQ(get("/api/page", {session}).json()["password"].toBool(), true);
    EXPECT_EQ(post("/api/logout", {}, {"X-Wattsight-Page: 1", session}).status, 204);
    EXPECT_EQ(get("/api/page", {session}).status, 401);

    // Five wrong tries from one address, and that address waits, even with the right password; another does not.
    const QHostAddress guesser(QStringLiteral("127.0.0.2"));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(post("/api/login", "password=guess", {"X-Wattsight-Page: 1"}, guesser).json()["error"].toString(),
                  "Wrong password");
    const HttpReply waiting = post("/api/login", "password=correct+horse", {"X-Wattsight-Page: 1"}, guesser);
    EXPECT_EQ(waiting.status, 429);
    EXPECT_EQ(waiting.header("Retry-After"), "1");
    EXPECT_EQ(waiting.json()["error"].toString(), "Too many wrong passwords from this address: try again in 1 s");
    EXPECT_EQ(post("/api/login", "password=correct+horse").status, 204) << "127.0.0.1 was never wrong";
    QTest::qWait(1100);
    EXPECT_EQ(post("/api/login", "password=correct+horse", {"X-Wattsight-Page: 1"}, guesser).status, 204);

    // A new password ends every session.
    const QByteArray before =
        "Cookie: " + post("/api/login", "password=correct+horse").header("Set-Cookie").split(';')[0];
    ASSERT_EQ(get("/api/state", {before}).status, 200);
    t.ctx.settings.WEB_PASSWORD = PasswordHash::make(QStringLiteral("new"));
    publish.applySettings();
    EXPECT_EQ(get("/api/state", {before}).status, 401);
}

} // namespace
