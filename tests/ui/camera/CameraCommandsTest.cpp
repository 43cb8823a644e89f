// SPDX-License-Identifier: GPL-3.0-or-later
#include "CameraScreens.h"
#include "app/ConfigFiles.h"
#include "app/DetectorSettings.h"
#include "app/SettingsFile.h"
#include "capture/FindMarkSession.h"
#include "metering/MeterReadingStore.h"
#include "publish/MqttLibrary.h"
#include "publish/RemoteFindMark.h"
#include "publish/RemotePicture.h"
#include "support/PublishCommands.h"
#include "ui/camera/FindMarkForm.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {
// The camera setup screen with publishing to a broker on this machine and commands taken.
struct CameraCommandsTest : CameraScreensTest
{
    void SetUp() override
    {
        ASSERT_TRUE(broker.start());
        std::tie(t.ctx.settings.PUBLISH_MQTT, t.ctx.settings.ACCEPT_MQTT_COMMANDS, t.ctx.settings.MQTT_HOST,
                 t.ctx.settings.MQTT_PORT) = std::tuple(true, true, QStringLiteral("127.0.0.1"), broker.port());
        service.applySettings();
        ASSERT_TRUE(findMarkSays("Not running"));
    }
    QString command(const char* object, const QByteArray& payload)
    {
        return commandAnswer(broker, service, object, payload);
    }
    // Whether the progress on the broker comes to begin with `text` in `key`.
    bool findMarkSays(const QString& text, const char* key = "status") const
    {
        return eventually([&] {
            const QJsonObject o = QJsonDocument::fromJson(broker.retainedAt("wattsight/meter1/find_mark")).object();
            return o[key].toString().startsWith(text);
        });
    }

    MosquittoBroker broker;
    MqttLibrary mqtt;
    MeterReadingStore reading{t.ctx};
    PublishService service{t.ctx, reading};
    RemoteFindMark findMark{service, camera};
    RemotePicture picture{service, camera};
};

TEST_F(CameraCommandsTest, FindMarkByCommandSharesTheWatchWithTheWindowAndSaysEachStepOnTheBroker)
{
    open();
    EXPECT_EQ(command("find_mark", "start"), "the camera is not running");
    EXPECT_EQ(command("find_mark", "accept") + '|' + command("find_mark", "look"),
              R"(Find Mark is not running|"look" is not start, accept or cancel)");
    startOrStopThroughSelectionScreen(true);
    ASSERT_TRUE(settle());

    const GlobalSettings before = t.ctx.settings;
    EXPECT_EQ(command("find_mark", "start"), "");
    EXPECT_TRUE(findMarkSays("Watching the disc: 0 of 2 passes seen"));
    EXPECT_EQ(command("find_mark", "start") + '|' + command("find_mark", "accept"),
              "Find Mark is watching already|Find Mark has no proposal yet");
    ASSERT_TRUE(frames.runUntil([&] { return camera.findMarkSession()->findMark().finished(); }, 40.0));
    EXPECT_TRUE(findMarkSays("The mark passed 2 times. Proposed settings:"));
    EXPECT_TRUE(findMarkSays("Active cells: ", "proposal"));
    const FindMarkProposal proposal = camera.findMarkSession()->findMark().proposal();
    EXPECT_EQ(command("find_mark", "accept"), "");
    EXPECT_TRUE(findMarkSays("The proposed settings are in use and saved for the next start"));
    GlobalSettings expected = before;
    proposal.applyTo(expected);
    EXPECT_EQ(t.ctx.settings, expected);
    t.ctx.settings = before; // what the next start reads
    ASSERT_TRUE(LoadCameraSettings(t.ctx) && LoadSettingsFile(t.ctx, DetectorSettingsFile()));
    EXPECT_EQ(t.ctx.settings, expected);
    EXPECT_EQ(capture().detectionGrid(), proposal.grid) << "the camera takes them as from the window";

    // A watch the window began is cancelled by command, and the window closes with it.
    press("butFindMark");
    QPointer<FindMarkForm> window = form.findMarkForm();
    ASSERT_TRUE(window);
    EXPECT_EQ(command("find_mark", "cancel"), "");
    EXPECT_TRUE(findMarkSays("Cancelled; the settings are unchanged"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window; }));
    EXPECT_EQ(t.ctx.settings, expected);
    startOrStopThroughSelectionScreen(false);
}

TEST_F(CameraCommandsTest, APictureGoesOnlyWhilePicturesAreOnAndNoneStaysWhereNoOneSendsItAnyMore)
{
    const QString topic = QStringLiteral("wattsight/meter1/picture");
    const auto pictureAt = [&](const QString& at) {
        return eventually([&] {
            const QImage received = QImage::fromData(broker.retainedBytes(at), "JPEG");
            return !received.isNull() && received.size() == capture().previewImage().size();
        });
    };
    // Publishing starts again with the settings; commands are answered once it is connected.
    const auto apply = [&] {
        service.applySettings();
        return QTest::qWaitFor([&] { return service.statusText().startsWith("Connected"); });
    };
    open();
    startOrStopThroughSelectionScreen(true);
    ASSERT_TRUE(settle() && frames.run(0.4));
    picture.tick(); // off at the factory: not even the minute's picture
    EXPECT_EQ(command("picture", "now") + '|' + command("picture", "later"),
              R"(sending pictures is off (Setup, Publishing Setup)|"later" is not now)");
    EXPECT_TRUE(broker.retainedBytes(topic).isEmpty());

    t.ctx.settings.PUBLISH_PICTURE = true;
    ASSERT_TRUE(apply());
    picture.tick();
    EXPECT_TRUE(pictureAt(topic)) << "the minute's";
    broker.send(topic, {"-r", "-n"});
    EXPECT_EQ(command("picture", "now"), "");
    EXPECT_TRUE(pictureAt(topic)) << "on request";

    // Moved with the base topic, and gone when switched off.
    t.ctx.settings.MQTT_BASE_TOPIC = QStringLiteral("home");
    ASSERT_TRUE(apply());
    EXPECT_TRUE(pictureAt(QStringLiteral("home/meter1/picture")));
    EXPECT_TRUE(broker.retainedBytes(topic).isEmpty());
    const QString image = QStringLiteral("homeassistant/image/home_meter1/picture/config");
    EXPECT_TRUE(eventually([&] { return !broker.retainedBytes(image).isEmpty(); }));
    t.ctx.settings.PUBLISH_PICTURE = false;
    ASSERT_TRUE(apply());
    EXPECT_TRUE(eventually([&] { return broker.retainedBytes(image).isEmpty(); })) << "its entity goes too";
    EXPECT_TRUE(eventually([&] { return broker.retainedBytes(QStringLiteral("home/meter1/picture")).isEmpty(); }));
    startOrStopThroughSelectionScreen(false);
}

TEST(RemotePictureJpeg, StaysWithinItsSizeAndShowsTheGridLinesAndTheActiveCellsLightly)
{
    // 4 x 3 cells of 160 x 160 pixels on one grey; the top left one active.
    QImage frame(640, 480, QImage::Format_RGB32);
    frame.fill(QColor(60, 60, 60));
    const QImage picture = QImage::fromData(RemotePicture::jpeg(frame, DetectionGrid::fromString("9000 0000 0000")));
    ASSERT_EQ(picture.size(), QSize(640, 480));
    const QColor plain = picture.pixelColor(400, 240), line = picture.pixelColor(320, 240),
                 active = picture.pixelColor(80, 80), edge = picture.pixelColor(160, 80);
    EXPECT_GT(line.lightness(), plain.lightness() + 20) << "a line between two cells";
    EXPECT_GT(active.blue(), active.red() + 15) << "the active cell tinted";
    EXPECT_LT(active.blue(), active.red() + 60) << "lightly: the picture under it stays readable";
    EXPECT_GT(edge.blue(), edge.red() + 100) << "the active area outlined";
    EXPECT_LT(std::abs(plain.blue() - plain.red()), 10) << "an inactive cell as it was";

    // Noise compresses worst: the quality, then the size give way until it fits.
    QImage noise(1280, 960, QImage::Format_RGB32);
    std::generate_n(noise.bits(), noise.sizeInBytes(), [] { return uchar(std::rand()); });
    const QByteArray jpeg = RemotePicture::jpeg(noise, DetectionGrid::fromString("99 99"));
    EXPECT_GT(jpeg.size(), 50 * 1024);
    EXPECT_LE(jpeg.size(), RemotePicture::MaxBytes);
    EXPECT_FALSE(QImage::fromData(jpeg, "JPEG").isNull());
}

} // namespace
