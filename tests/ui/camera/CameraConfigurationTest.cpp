// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/CameraConfiguration.h"

#include "support/TestContext.h"
#include "ui/UpDownControl.h"
#include "ui/capture/CaptureComponent.h"

#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

TEST(PreferredVideoSize, OptionsOneToTwelveAndEverythingElseIsTheDefault)
{
    EXPECT_EQ(CameraConfiguration::preferredVideoSize(1), QSize(88, 60));
    EXPECT_EQ(CameraConfiguration::preferredVideoSize(5), QSize(320, 240));
    EXPECT_EQ(CameraConfiguration::preferredVideoSize(9), QSize(640, 480));
    EXPECT_EQ(CameraConfiguration::preferredVideoSize(12), QSize(768, 576));
    for (int outside : {0, 13, -1, 32767})
        EXPECT_EQ(CameraConfiguration::preferredVideoSize(outside), QSize(320, 240)) << outside;
}

class SetupCameraControlTest : public ::testing::Test
{
protected:
    TestContext t;
    CaptureComponent capture{t.clock, t.dialogs};
};

TEST_F(SetupCameraControlTest, HandsTheSettingsToTheComponent)
{
    GlobalSettings& s = t.ctx.settings;
    s.DETECTION_GRID = QStringLiteral("0110 0990");
    s.FRAME_RATE = 12.5;
    s.VIDEO_SIZE = 9;
    s.STRETCH_VIDEO_SIZE = true;
    EXPECT_EQ(setup_camera_control(t.ctx, capture), QStringLiteral("0110\r\n0990\r\n"));
    EXPECT_TRUE(capture.motionDetection());
    EXPECT_EQ(capture.detectionGrid(), QStringLiteral("0110 0990"));
    EXPECT_EQ(capture.gridColumns(), 4);
    EXPECT_DOUBLE_EQ(capture.frameRate(), 12.5);
    EXPECT_EQ(capture.displaySize(), QSize(640, 480));
    EXPECT_TRUE(capture.stretch());
    EXPECT_TRUE(t.dialogs.shown.empty());
}

TEST_F(SetupCameraControlTest, RefusedGridIsReplacedByTheFactoryGridWithAMessage)
{
    for (const QString& bad : {QStringLiteral("12a4 5555"), QString(), QStringLiteral("   ")}) {
        t.dialogs.shown.clear();
        t.ctx.settings.DETECTION_GRID = bad;
        t.ctx.settings.VIDEO_SIZE = 13;
        setup_camera_control(t.ctx, capture);
        EXPECT_EQ(t.ctx.settings.DETECTION_GRID, SettingsDefaults::DefaultGrid) << bad.toStdString();
        EXPECT_EQ(capture.detectionGrid(), SettingsDefaults::DefaultGrid);
        EXPECT_TRUE(capture.gridAccepted());
        EXPECT_EQ(t.dialogs.texts(),
                  QStringList{QStringLiteral("Invalid motion detection settings, factory default used")});
        EXPECT_EQ(capture.displaySize(), QSize(320, 240));
    }
}

TEST(UpDownControl, StepsTheFieldWithinItsRange)
{
    QLineEdit field;
    UpDownControl upDown(&field, 1, 100);
    field.setText(QStringLiteral("99"));
    upDown.stepUp();
    EXPECT_EQ(field.text(), QStringLiteral("100"));
    upDown.stepUp();
    EXPECT_EQ(field.text(), QStringLiteral("100"));
    for (int i = 0; i < 150; ++i)
        upDown.stepDown();
    EXPECT_EQ(field.text(), QStringLiteral("1"));
    upDown.stepDown();
    EXPECT_EQ(field.text(), QStringLiteral("1"));
}

TEST(UpDownControl, AValueBeyondItsRangeOrNoNumberStepsBackInside)
{
    // The intensity factor accepts up to 1000000 typed, but its arrows stay within 1..100000.
    QLineEdit field;
    UpDownControl upDown(&field, 1, 100000);
    field.setText(QStringLiteral("500000"));
    upDown.stepDown();
    EXPECT_EQ(field.text(), QStringLiteral("100000"));
    for (const char* text : {"", "-", "abc"}) {
        field.setText(QString::fromLatin1(text));
        upDown.stepUp();
        EXPECT_EQ(field.text(), QStringLiteral("2")) << text;
    }
    upDown.setRange(10, 20);
    field.setText(QStringLiteral("3"));
    upDown.stepUp();
    EXPECT_EQ(field.text(), QStringLiteral("10"));
}

} // namespace
