// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/camera/MotionDetection.h"

#include "CameraScreens.h"
#include "camera/MarkDetector.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QSpinBox>

namespace {

// The component, recording the image settings in the order they reach it.
struct RecordingCapture : CaptureComponent
{
    using CaptureComponent::CaptureComponent;
    void setCompareRed(bool on) override { record("red", on), CaptureComponent::setCompareRed(on); }
    void setCompareGreen(bool on) override { record("green", on), CaptureComponent::setCompareGreen(on); }
    void setCompareBlue(bool on) override { record("blue", on), CaptureComponent::setCompareBlue(on); }
    void setReduceNoise(bool on) override { record("noise", on), CaptureComponent::setReduceNoise(on); }
    QStringList calls;
    void record(const char* what, bool on) { calls << QStringLiteral("%1=%2").arg(QLatin1String(what)).arg(on); }
};

TEST(MotionDetectionSettings, ColoursGoToTheComponentRedGreenBlueAfterEveryClick)
{
    TestContext t;
    RecordingCapture capture(t.clock, t.dialogs);
    MarkDetector detector(t.ctx, capture);
    std::tie(t.ctx.settings.DETECT_GREEN, t.ctx.settings.REDUCE_VIDEO_NOISE) = std::tuple(false, false);
    MotionDetection screen(t.ctx, capture, detector);
    screen.show();
    auto box = [&](const char* name) { return screen.findChild<QCheckBox*>(QString::fromLatin1(name)); };
    EXPECT_TRUE(capture.calls.isEmpty()) << "opening sends nothing";

    QTest::mouseClick(box("chkCompareGreen"), Qt::LeftButton);
    QTest::mouseClick(box("chkCompareRed"), Qt::LeftButton);
    EXPECT_EQ(capture.calls, (QStringList{"red=1", "green=1", "blue=1", "red=0", "green=1", "blue=1"}));
    EXPECT_EQ(std::tuple(t.ctx.settings.DETECT_RED, t.ctx.settings.DETECT_GREEN, t.ctx.settings.DETECT_BLUE),
              std::tuple(false, true, true));

    capture.calls.clear();
    QTest::mouseClick(box("chkInvertSignalFlag"), Qt::LeftButton);
    EXPECT_TRUE(t.ctx.settings.INVERT_IMAGE_INTENSITY);
    EXPECT_TRUE(capture.calls.isEmpty()) << "inversion is the detector's matter only";
}

struct MotionDetectionTest : CameraScreensTest
{
    QPlainTextEdit* memo(MotionDetection* m, const char* name) { return child<QPlainTextEdit>(m, name); }
    // A component text as a memo holds it: one line break per CR LF.
    static QString asShown(QString text) { return text.remove(QLatin1Char('\r')); }
};

TEST_F(MotionDetectionTest, AppliesTheIntensityFactorOnOkAndFollowsEveryFrameEvenWhileHidden)
{
    open();
    MotionDetection* m = openMotion();
    EXPECT_TRUE(form.isEnabled()) << "the camera setup screen stays usable";
    EXPECT_EQ(memo(m, "mmoSensitivityGrid")->toPlainText(), asShown(capture().gridDisplayText()));
    press("MotionSensitivity");
    EXPECT_EQ(form.motionDetection(), m) << "one image settings screen at a time";

    QTest::mouseClick(arrow(child<UpDownControl>(m, "UpDown1"), Qt::DownArrow), Qt::LeftButton);
    EXPECT_EQ(t.ctx.settings.IMAGE_INTENSITY_FACTOR, 100000) << "stepping alone changes nothing";
    press(m, "butOkIntensityFactor");
    EXPECT_EQ(t.ctx.settings.IMAGE_INTENSITY_FACTOR, 99999);
    retype(child<QLineEdit>(m, "edtIntensityFactor"), QStringLiteral("1000000"));
    press(m, "butOkIntensityFactor");
    EXPECT_EQ(t.ctx.settings.IMAGE_INTENSITY_FACTOR, 1000000) << "typed values may go past the arrows' range";

    // The signal level and the cell values follow every frame, even while the screen is hidden.
    QPlainTextEdit* values = memo(m, "mmoMotionGrid");
    QLineEdit* level = child<QLineEdit>(m, "edtSignalLevel");
    startOrStopThroughSelectionScreen(true);
    ASSERT_TRUE(frames.step());
    // Cell values come before settling, the intensity only after.
    EXPECT_EQ(values->toPlainText() + '|' + level->text(), asShown(capture().currentCellValuesText()) + '|');

    ASSERT_TRUE(settle());
    ASSERT_TRUE(frames.step());
    EXPECT_EQ(level->text(), field("edtImageIntensity")->text());

    m->hide();
    // Long enough for the mark to cross, so the values must change; the mask stays as it was.
    const QString before = values->toPlainText();
    QSignalSpy maskRewritten(memo(m, "mmoSensitivityGrid"), &QPlainTextEdit::textChanged);
    ASSERT_TRUE(frames.runUntil([this] { return camera.detector().blnMarkOn(); }, 5.0));
    EXPECT_NE(values->toPlainText(), before);
    EXPECT_EQ(values->toPlainText(), asShown(capture().currentCellValuesText()));
    EXPECT_EQ(level->text(), field("edtImageIntensity")->text());
    EXPECT_EQ(maskRewritten.count(), 0) << "an unchanged mask is not set again, which would scroll it back";
    startOrStopThroughSelectionScreen(false);
}

TEST_F(MotionDetectionTest, GridEditorNeedsARunningCameraWithDetectionOnAndAGridItCanShowAndItsGridIsTaken)
{
    t.ctx.settings.DETECTION_GRID = QStringLiteral("55 55");
    open();
    MotionDetection* m = openMotion();
    press(m, "btnShowGridDialog");
    startOrStopThroughSelectionScreen(true);
    capture().setMotionDetection(false);
    press(m, "btnShowGridDialog");
    EXPECT_EQ(t.dialogs.texts(), (QStringList{"The camera needs to be running to access this",
                                              "Fatal error. Motion detection not enabled."}));
    capture().setMotionDetection(true);
    t.dialogs.shown.clear();
    bool detectionOffWhileEditing = true;
    // Paints the given cells of the 2 x 2 grid with one sensitivity and accepts.
    auto paint = [this, &detectionOffWhileEditing](QDialog& d, const QList<QPoint>& cells, int value) {
        detectionOffWhileEditing = detectionOffWhileEditing && !capture().motionDetection();
        child<QSpinBox>(&d, "spnSensitivity")->setValue(value);
        QWidget* view = child<QWidget>(&d, "CapturePreview");
        for (QPoint c : cells)
            QTest::mouseClick(view, Qt::LeftButton, {},
                              QPoint(view->width() * (2 * c.x() + 1) / 4, view->height() * (2 * c.y() + 1) / 4));
        d.accept();
    };
    answerNextDialog([&](QDialog& d) { paint(d, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}, 0); });
    press(m, "btnShowGridDialog");
    EXPECT_EQ(t.ctx.settings.DETECTION_GRID + '|' + memo(m, "mmoSensitivityGrid")->toPlainText(), "00 00|00\n00\n");
    EXPECT_TRUE(camera.detector().varActiveCells().isEmpty());
    EXPECT_EQ(t.dialogs.texts(),
              QStringList{"No cells are active, the mark will not be detected. Please reselect the active area"});
    EXPECT_TRUE(capture().motionDetection()) << "detection is back on after editing";
    t.dialogs.shown.clear();
    answerNextDialog([&](QDialog& d) { paint(d, {{1, 0}}, 9); });
    press(m, "btnShowGridDialog");
    EXPECT_EQ(t.ctx.settings.DETECTION_GRID, "09 00");
    EXPECT_EQ(camera.detector().varActiveCells(), (QList<GridCell>{{1, 0}}));
    EXPECT_TRUE(t.dialogs.shown.empty() && detectionOffWhileEditing);
    startOrStopThroughSelectionScreen(false);

    // 31 columns work for detection but cannot be edited on screen; 30 can.
    for (int columns : {31, 30}) {
        t.dialogs.shown.clear();
        t.ctx.settings.DETECTION_GRID = QString(columns, QLatin1Char('5'));
        startOrStopThroughSelectionScreen(true);
        bool edited = false;
        if (columns == 30)
            answerNextDialog([&edited](QDialog& d) { edited = true, d.reject(); });
        press(m, "btnShowGridDialog");
        EXPECT_EQ(edited, columns == 30);
        EXPECT_EQ(t.dialogs.texts(), QStringList(columns - 30, "You cannot edit the grid with this feature, it must "
                                                               "be set in the config file"));
        startOrStopThroughSelectionScreen(false);
    }
}

} // namespace
