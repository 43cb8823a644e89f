// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/camera/RemoteCamera.h"

#include "CameraScreens.h"
#include "metering/MeterReadingStore.h"
#include "publish/MqttLibrary.h"
#include "support/PublishCommands.h"
#include "ui/camera/FindMarkForm.h"
#include "ui/camera/FindMarkSession.h"

#include <QBuffer>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
// The camera setup screen with publishing to a broker on this machine and commands taken.
class RemoteCameraTest : public CameraScreensTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(broker.start());
        t.ctx.settings.PUBLISH_MQTT = true;
        t.ctx.settings.ACCEPT_MQTT_COMMANDS = true;
        t.ctx.settings.MQTT_HOST = QStringLiteral("127.0.0.1");
        t.ctx.settings.MQTT_PORT = broker.port();
        service.applySettings();
        ASSERT_TRUE(findMarkSays("Not running"));
    }
    QString command(const char* object, const QByteArray& payload)
    {
        return commandAnswer(broker, service, QLatin1String(object), payload);
    }
    QJsonObject findMarkState() const
    {
        return QJsonDocument::fromJson(broker.retainedAt("wattsight/meter1/find_mark")).object();
    }
    bool findMarkSays(const QString& status) const
    {
        return eventually([&] { return findMarkState()["status"].toString() == status; });
    }

    MosquittoBroker broker;
    MqttLibrary mqtt;
    MeterReadingStore reading{t.ctx};
    PublishService service{t.ctx, reading};
    RemoteFindMark findMark{service, [this] { return &form; }};
    RemotePicture picture{service, [this] { return &form; }};
};

// A picture of one grey, the grid of `text` drawn on it, decoded again from its JPEG.
QImage gridPicture(const char* text, qsizetype* bytes = nullptr)
{
    QImage frame(640, 480, QImage::Format_RGB32);
    frame.fill(QColor(60, 60, 60));
    const QByteArray jpeg = RemotePicture::jpeg(frame, DetectionGrid::fromString(QLatin1String(text)));
    if (bytes)
        *bytes = jpeg.size();
    return QImage::fromData(jpeg, "JPEG");
}
} // namespace

TEST_F(RemoteCameraTest, FindMarkByCommandSharesTheWatchWithTheWindowAndSaysEachStepOnTheBroker)
{
    open();
    EXPECT_EQ(command("find_mark", "start") + '|' + command("picture", "now"),
              "the camera is not running|the camera is not running");
    EXPECT_EQ(command("find_mark", "accept") + '|' + command("find_mark", "look"),
              R"(Find Mark is not running|"look" is not start, accept or cancel)");
    startOrStopThroughSelectionScreen(true);
    ASSERT_TRUE(settle());

    const GlobalSettings before = t.ctx.settings;
    EXPECT_EQ(command("find_mark", "start"), "");
    EXPECT_TRUE(findMarkSays("Watching the disc: 0 of 2 passes seen"));
    EXPECT_EQ(command("find_mark", "start") + '|' + command("find_mark", "accept"),
              "Find Mark is watching already|Find Mark has no proposal yet");
    ASSERT_TRUE(frames.runUntil([&] { return form.findMarkSession()->findMark().finished(); }, 40.0));
    EXPECT_TRUE(findMarkSays("The mark passed 2 times. Proposed settings:"));
    const QJsonObject proposed = findMarkState();
    EXPECT_EQ(proposed["passes"].toInt(), 2);
    EXPECT_TRUE(proposed["proposal"].toString().startsWith("Active cells: ")) << proposed["proposal"].toString().toStdString();
    const FindMarkProposal proposal = form.findMarkSession()->findMark().proposal();
    EXPECT_EQ(command("find_mark", "accept"), "");
    EXPECT_TRUE(findMarkSays("The proposed settings are in use"));
    GlobalSettings expected = before;
    proposal.applyTo(expected);
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

    // The picture of the running camera, on request.
    ASSERT_TRUE(frames.run(0.4));
    EXPECT_EQ(command("picture", "now") + '|' + command("picture", "later"), R"(|"later" is not now)");
    QImage received;
    EXPECT_TRUE(eventually([&] {
        received = QImage::fromData(broker.retainedBytes("wattsight/meter1/picture"), "JPEG");
        return !received.isNull();
    }));
    EXPECT_EQ(received.size(), capture().previewImage().size());
    startOrStopThroughSelectionScreen(false);
}

TEST(RemotePictureJpeg, StaysWithinItsSizeAndShowsTheGridLinesAndTheActiveCells)
{
    // 4 x 3 cells of 160 x 160 pixels; the top left one active.
    const QImage picture = gridPicture("9000 0000 0000");
    ASSERT_EQ(picture.size(), QSize(640, 480));
    const QColor plain = picture.pixelColor(400, 240);
    const QColor line = picture.pixelColor(320, 240);
    const QColor active = picture.pixelColor(80, 80);
    EXPECT_GT(line.lightness(), plain.lightness() + 20) << "a line between two cells";
    EXPECT_GT(active.blue(), active.red() + 40) << "the active cell tinted";
    EXPECT_LT(std::abs(plain.blue() - plain.red()), 10) << "an inactive cell as it was";

    // Noise compresses worst: the quality, then the size give way until it fits.
    QImage noise(1280, 960, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, quint32(std::rand()));
    const QByteArray jpeg = RemotePicture::jpeg(noise, DetectionGrid::fromString("99 99"));
    EXPECT_GT(jpeg.size(), 50 * 1024);
    EXPECT_LE(jpeg.size(), RemotePicture::MaxBytes);
    EXPECT_FALSE(QImage::fromData(jpeg, "JPEG").isNull());
}
