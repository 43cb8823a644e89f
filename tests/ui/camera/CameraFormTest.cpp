// SPDX-License-Identifier: GPL-3.0-or-later
#include "CameraScreens.h"
#include "camera/MarkDetector.h"
#include "ui/camera/IntensityStripChart.h"
#include "ui/setup/UpDownControl.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

const QString ClosingQuestion =
    QStringLiteral("Closing this screen will stop the camera and data collection. Are you sure you want to close it?");

class CameraFormTest : public CameraScreensTest
{
protected:
    QProgressBar* bar(const char* name) { return child<QProgressBar>(&form, name); }
    bool settingsButtonsEnabled()
    {
        const bool on = button("butLoadFactoryDefaults")->isEnabled();
        EXPECT_EQ(button("butSaveAllSettings")->isEnabled(), on);
        return on;
    }
    bool markOn() { return camera.detector().blnMarkOn(); }
};

TEST_F(CameraFormTest, EachValueTakesEffectOnlyWhenItsOkIsPressed)
{
    // Field, its arrows, its OK button, minimum, maximum, the setting.
    using Case = std::tuple<const char*, const char*, const char*, int, int, std::function<qint32()>>;
    const GlobalSettings& s = t.ctx.settings;
    const Case cases[] = {
        {"edtTriggerValue", "UpDownTriggerValue", "butOKTriggerLevel", 1, 100000, [&] { return s.TRIGGER_LEVEL; }},
        {"edtTrackPercent", "UpDownTrackPercent", "butOkTrackPercent", 1, 10000,
         [&] { return qint32(s.PERCENT_AMBIENT_LIGHT_TO_TRACK); }},
    };
    open();
    // The tracking box sets its setting and enables the percent controls.
    EXPECT_FALSE(button("butOkTrackPercent")->isEnabled());
    QTest::mouseClick(child<QCheckBox>(&form, "chkTrackIntensityChange"), Qt::LeftButton);
    EXPECT_TRUE(t.ctx.settings.TRACK_AMBIENT_LIGHT_CHANGE);
    EXPECT_TRUE(button("butOkTrackPercent")->isEnabled() && field("edtTrackPercent")->isEnabled());
    for (const auto& [name, upDownName, ok, minimum, maximum, setting] : cases) {
        SCOPED_TRACE(name);
        t.dialogs.shown.clear();
        QLineEdit* f = field(name);
        auto* upDown = child<UpDownControl>(&form, upDownName);
        const qint32 before = setting();

        QTest::mouseClick(arrow(upDown, Qt::UpArrow), Qt::LeftButton);
        EXPECT_EQ(f->text(), QString::number(before + 1));
        retype(f, QString::number(maximum));
        EXPECT_EQ(setting(), before) << "stepping and typing alone change nothing";
        press(ok);
        EXPECT_EQ(setting(), maximum);
        QTest::mouseClick(arrow(upDown, Qt::UpArrow), Qt::LeftButton); // the arrows stop at the maximum
        retype(f, QStringLiteral("0"));
        press(ok);
        EXPECT_EQ(std::tuple(setting(), f->text()), std::tuple(maximum, QString::number(maximum)))
            << "the refused text is replaced by the one before";
        EXPECT_EQ(t.dialogs.texts(),
                  QStringList{QStringLiteral("Maximum allowed value is %1\r\nMinimum allowed value is %2")
                                  .arg(maximum)
                                  .arg(minimum)});
    }
}

TEST_F(CameraFormTest, LiveValuesBarsAndChartFollowTheDetectorAndATypedLevelSurvivesAMarkOff)
{
    open();
    startOrStopThroughSelectionScreen(true);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(form.intensityHistory().samples().empty()) << "frames before settling are not charted";

    ASSERT_TRUE(frames.runUntil([this] { return markOn(); }, 5.0));
    EXPECT_EQ(bar("DetectionBar")->value() + bar("MarkSignalled")->value(), 20);
    EXPECT_EQ(field("edtPreviousMaximumIntensity")->text(), field("edtImageIntensity")->text());
    EXPECT_EQ(form.intensityHistory().samples().back().intensity, field("edtImageIntensity")->text().toInt());
    EXPECT_TRUE(form.intensityHistory().samples().back().revolution);
    // Still above the level: the peak follows the highest frame; the level bar drops first, the mark later.
    ASSERT_TRUE(frames.runUntil([this] { return bar("DetectionBar")->value() == 1; }, 2.0));
    EXPECT_TRUE(markOn());
    EXPECT_EQ(bar("MarkSignalled")->value(), 10);
    const QString peak = field("edtPreviousMaximumIntensity")->text();
    EXPECT_GT(peak.toInt(), t.ctx.settings.TRIGGER_LEVEL);
    ASSERT_TRUE(frames.runUntil([this] { return !markOn(); }, 2.0));
    // One peak so far: the average is that peak.
    EXPECT_EQ(QString::number(bar("MarkSignalled")->value()) + '|' + field("edtAveragedMaxIntensity")->text(),
              "1|" + peak);

    ASSERT_TRUE(frames.run(8.0));
    const IntensityHistory& history = form.intensityHistory();
    EXPECT_GE(history.revolutions(), 3);
    EXPECT_EQ(std::ranges::count_if(history.samples(), &IntensityHistory::Sample::revolution), history.revolutions())
        << "one marker per revolution, not per frame above";
    const auto [lowest, highest] = std::ranges::minmax(history.samples(), {}, &IntensityHistory::Sample::intensity);

    // Halfway between the plain disc and the mark; the chart's line moves with the confirmed level.
    const qint32 level = (lowest.intensity + highest.intensity) / 2;
    ASSERT_GT(highest.intensity, lowest.intensity * 1.25) << "the mark must stand out well from the disc";
    retype(field("edtTriggerValue"), QString::number(level));
    press("butOKTriggerLevel");
    EXPECT_EQ(child<IntensityStripChart>(&form, "IntensityStripChart")->triggerLevel(), level);
    retype(field("edtTriggerValue"), QStringLiteral("12"));
    ASSERT_TRUE(frames.runUntil([this] { return markOn(); }, 5.0));
    ASSERT_TRUE(frames.runUntil([this] { return !markOn(); }, 2.0));
    EXPECT_EQ(field("edtTriggerValue")->text(), "12") << "a mark-off that leaves the level alone keeps the text";
    EXPECT_EQ(t.ctx.settings.TRIGGER_LEVEL, level);

    // A level set elsewhere (the main window's factory defaults) shows; a refused entry falls back to it.
    t.ctx.settings.TRIGGER_LEVEL = 777;
    open(); // back from the selection screen
    retype(field("edtTriggerValue"), QStringLiteral("123"));
    ASSERT_TRUE(frames.step());
    retype(field("edtTriggerValue"), QStringLiteral("0"));
    press("butOKTriggerLevel");
    EXPECT_EQ(field("edtTriggerValue")->text(), "777");

    // New stream settings restart the camera, and detection waits out the settle delay again.
    answerNextDialog([](QDialog& streamSettings) { streamSettings.accept(); });
    startForm()->findChild<QPushButton*>(QStringLiteral("btnStreamDialog"))->click();
    EXPECT_FALSE(camera.detector().blnCameraSettled());
    startOrStopThroughSelectionScreen(false);
}

TEST_F(CameraFormTest, RunningCameraRefusesCloseDefaultsAndSaveWhichResetTheCameraGroupDetectorAndScreensOnceStopped)
{
    open();
    EXPECT_TRUE(settingsButtonsEnabled());
    QPointer<MotionDetection> motion = openMotion();
    startOrStopThroughSelectionScreen(true);
    ASSERT_TRUE(t.ctx.blnGlobalCameraRunning);
    EXPECT_FALSE(settingsButtonsEnabled());
    t.dialogs.setNextAnswer(Dialogs::Answer::No);
    EXPECT_FALSE(form.close() || form.close());
    EXPECT_EQ(t.dialogs.texts(),
              (QStringList{ClosingQuestion, ClosingQuestion,
                           "Camera is still running, please stop it before trying to exit this form"}));
    ASSERT_TRUE(settle());
    ASSERT_TRUE(frames.runUntil([this] { return camera.detector().lngAveragedMaxIntensity() > 0; }, 5.0));
    startOrStopThroughSelectionScreen(false);
    EXPECT_FALSE(t.ctx.blnGlobalCameraRunning);
    EXPECT_TRUE(settingsButtonsEnabled());

    QPointer<QDialog> selection = form.startCameraForm();
    GlobalSettings& s = t.ctx.settings;
    std::tie(s.TRIGGER_LEVEL, s.DETECTION_GRID, s.FRAME_RATE, s.REVS_PER_KWH) = std::tuple(777, "9", 10.0, 1234);
    t.dialogs.shown.clear();
    press("butLoadFactoryDefaults");
    const GlobalSettings factory = SettingsDefaults::factorySettings();
    EXPECT_EQ(std::tuple(s.TRIGGER_LEVEL, s.DETECTION_GRID, s.FRAME_RATE, s.REVS_PER_KWH),
              std::tuple(factory.TRIGGER_LEVEL, factory.DETECTION_GRID, factory.FRAME_RATE, 1234.0))
        << "other groups are untouched";
    EXPECT_FALSE(motion) << "the image settings screen closes";
    EXPECT_FALSE(selection) << "the selection screen closes";
    EXPECT_EQ(QString::number(camera.detector().lngAveragedMaxIntensity()) + field("edtAveragedMaxIntensity")->text(),
              "00");
    EXPECT_TRUE(form.intensityHistory().samples().empty());
    EXPECT_EQ(capture().detectionGrid(), factory.DETECTION_GRID) << "the component is configured again";
    EXPECT_FALSE(QFile::exists(t.ctx.paths.cameraSettings)) << "nothing is written";

    // Save All writes the camera file, or says why not.
    s.TRIGGER_LEVEL = 2345;
    press("butSaveAllSettings");
    EXPECT_TRUE(fileBytes(t.ctx.paths.cameraSettings).contains("TRIGGER_LEVEL=2345"));
    t.files.fail(FaultyFileIo::Op::Open, t.ctx.paths.cameraSettings);
    press("butSaveAllSettings");
    EXPECT_EQ(t.dialogs.texts(), QStringList{"Problem saving settings: Couldn't open the file for writing\r\n"});
    t.dialogs.shown.clear();
    EXPECT_TRUE(form.close()) << "nothing runs any more";
    EXPECT_EQ(t.dialogs.texts(), QStringList{ClosingQuestion});
}

} // namespace
