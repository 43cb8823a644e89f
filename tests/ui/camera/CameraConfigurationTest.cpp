// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/CameraConfiguration.h"

#include "support/TestContext.h"
#include "ui/capture/CaptureComponent.h"
#include "ui/setup/UpDownControl.h"

#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

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

TEST(UpDownControl, StepsTheFieldWithinItsRangeFromAnyText)
{
    // The intensity factor accepts up to 1000000 typed, but its arrows stay within 1..100000.
    QLineEdit field;
    UpDownControl upDown(&field, 1, 100000);
    const struct
    {
        const char* text;
        bool up;
        const char* after;
    } cases[] = {{"99999", true, "100000"}, {"100000", true, "100000"}, {"500000", false, "100000"},
                 {"2", false, "1"},         {"1", false, "1"},          {"", true, "2"},
                 {"-", true, "2"},          {"abc", true, "2"}};
    for (const auto& c : cases) {
        field.setText(QString::fromLatin1(c.text));
        c.up ? upDown.stepUp() : upDown.stepDown();
        EXPECT_EQ(field.text(), QString::fromLatin1(c.after)) << c.text << (c.up ? " up" : " down");
    }
    upDown.setRange(10, 20);
    field.setText(QStringLiteral("3"));
    upDown.stepUp();
    EXPECT_EQ(field.text(), QStringLiteral("10"));
}

} // namespace
