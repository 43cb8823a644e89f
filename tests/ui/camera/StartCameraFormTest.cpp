// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/camera/StartCameraForm.h"

#include "camera/MarkDetector.h"
#include "capture/CaptureComponent.h"
#include "capture/MeterCamera.h"
#include "support/TestContext.h"
#include "ui/support/WidgetActions.h"

#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A list's items as the component gives them: each followed by CR LF.
QString listed(const QComboBox& box)
{
    QString out;
    for (int i = 0; i < box.count(); ++i)
        out += box.itemText(i) + QStringLiteral("\r\n");
    return out;
}

struct StartCameraFormTest : ::testing::Test
{
    StartCameraFormTest() { capture.setSimulatedMeterFreeRunning(false); }
    ~StartCameraFormTest() override { capture.stop(); }

    QComboBox* devices() { return child<QComboBox>(&form, "cboVideoDevices"); }
    QPushButton* button(const char* name) { return child<QPushButton>(&form, name); }
    QLineEdit* field(const char* name) { return child<QLineEdit>(&form, name); }
    // Picks a device from the list as a person would.
    void chooseDevice(int index)
    {
        devices()->setCurrentIndex(index);
        emit devices()->activated(index);
    }
    bool screenRunning()
    {
        const bool running = !button("btnStartCamera")->isEnabled();
        EXPECT_EQ(button("btnStopCamera")->isEnabled(), running);
        EXPECT_EQ(devices()->isEnabled(), !running);
        EXPECT_EQ(child<QGroupBox>(&form, "grbPreferredVideoSizes")->isEnabled(), !running);
        return running;
    }

    TestContext t;
    MeterCamera camera{t.ctx};
    CaptureComponent& capture = camera.capture();
    MarkDetector& detector = camera.detector();
    StartCameraForm form{t.ctx, camera};
};

TEST_F(StartCameraFormTest, OpensStoppedWithTheDeviceListAValidVideoSizeAndFieldsThatChangeOnlyOnOk)
{
    t.ctx.blnGlobalCameraRunning = true; // a stale flag is corrected from the component
    t.ctx.settings.VIDEO_SIZE = 13;
    capture.setDisplaySize(1, 1, false);
    showActive(form);
    EXPECT_FALSE(t.ctx.blnGlobalCameraRunning || screenRunning() || devices()->currentIndex() != -1);
    EXPECT_EQ(listed(*devices()), capture.deviceList());
    // A size outside the options shows option five at 320 x 240.
    EXPECT_TRUE(child<QRadioButton>(&form, "rdgPreferredVideoSize5")->isChecked());
    EXPECT_EQ(std::tuple(t.ctx.settings.VIDEO_SIZE, capture.displaySize()), std::tuple(5, QSize(320, 240)));
    child<QRadioButton>(&form, "rdgPreferredVideoSize9")->click();
    EXPECT_EQ(std::tuple(t.ctx.settings.VIDEO_SIZE, capture.displaySize()), std::tuple(9, QSize(640, 480)));

    chooseDevice(capture.simulatedMeterIndex());
    // The simulated meter grants at most 60 frames a second: the field and the setting show what it granted. Out
    // of range, the field gets back what it held when entered and the setting keeps its value.
    for (const char* typed : {"500", "5000"}) {
        retype(field("edtFrameRate"), QString::fromLatin1(typed));
        QTest::mouseClick(button("btnFrameRate"), Qt::LeftButton);
        EXPECT_EQ(field("edtFrameRate")->text() + " " + QString::number(t.ctx.settings.FRAME_RATE), "60.000 60");
    }
    QLineEdit* settle = field("edtSettleDelay");
    retype(settle, QStringLiteral("125"));
    QTest::mouseClick(button("butOKSettle"), Qt::LeftButton);
    retype(settle, QStringLiteral("9"));
    QTest::mouseClick(button("butOKSettle"), Qt::LeftButton);
    EXPECT_EQ(t.dialogs.texts(), (QStringList{"Maximum allowed value is 1000\r\nMinimum allowed value is 0.001",
                                              "Maximum allowed value is 100000\r\nMinimum allowed value is 10"}));
    EXPECT_EQ(settle->text() + " " + QString::number(t.ctx.settings.SETTLE_TIME), "125 125");

    // The video file is asked for each time it is chosen, and not stopped behind the screen.
    QTemporaryFile video;
    ASSERT_TRUE(video.open());
    chooseDevice(capture.videoFileIndex()); // the file dialog cancelled
    t.dialogs.setNextFileName(video.fileName());
    chooseDevice(capture.videoFileIndex());
    EXPECT_EQ(capture.videoFilePath(), video.fileName()) << "choosing it again asks again";
    button("btnStartCamera")->click();
    button("btnDeviceDialog")->click();
    EXPECT_TRUE(is_camera_running(capture) && t.ctx.blnGlobalCameraRunning && screenRunning());
    EXPECT_EQ(t.dialogs.texts().back(), "Stop the video file before choosing another one.");
}

TEST_F(StartCameraFormTest, DeviceFormatListsFollowTheDeviceReopeningTheStreamDialogAndDeviceListChanges)
{
    showActive(form);
    chooseDevice(capture.simulatedMeterIndex());
    auto* sizes = child<QComboBox>(&form, "cboVideoSizes");
    EXPECT_EQ(std::tuple(listed(*sizes), sizes->currentIndex()), std::tuple(capture.sizeList(), capture.sizeIndex()));

    sizes->setCurrentIndex(2);
    emit sizes->activated(2);
    EXPECT_EQ(capture.simulatedMeterSettings().width, 640);

    // Reopening keeps the chosen device and its formats, and takes the frame rate the device grants.
    form.hide();
    t.ctx.settings.FRAME_RATE = 200.0;
    showActive(form);
    EXPECT_EQ(std::tuple(devices()->currentText(), sizes->currentIndex(), field("edtFrameRate")->text(),
                         t.ctx.settings.FRAME_RATE),
              std::tuple(CaptureComponent::SimulatedMeterName, 2, "60.000", 60.0));

    // Changes made in the stream dialog show in the lists and the frame rate.
    answerNextDialog([](QDialog& dialog) {
        dialog.findChild<QComboBox*>()->setCurrentIndex(0);
        dialog.findChild<QDoubleSpinBox*>()->setValue(15.0);
        dialog.accept();
    });
    button("btnStreamDialog")->click();
    EXPECT_EQ(std::tuple(capture.sizeIndex(), sizes->currentIndex(), field("edtFrameRate")->text(),
                         t.ctx.settings.FRAME_RATE),
              std::tuple(0, 0, "15.000", 15.0));

    // A removed video device refills the list; the camera running is not restarted by a change.
    devices()->clear();
    t.ctx.blnGlobalCameraRunning = true;
    emit capture.deviceAddedOrRemoved(false, true, QStringLiteral("USB camera"));
    EXPECT_FALSE(t.ctx.blnGlobalCameraRunning);
    EXPECT_EQ(std::tuple(listed(*devices()), devices()->currentText()),
              std::tuple(capture.deviceList(), CaptureComponent::SimulatedMeterName));

    button("btnStartCamera")->click();
    const double started = capture.simulatedSeconds();
    t.clock.advance(5.0);
    emit capture.deviceAddedOrRemoved(true, true, QStringLiteral("USB camera"));
    EXPECT_TRUE(screenRunning());
    EXPECT_DOUBLE_EQ(capture.simulatedSeconds(), started + 5.0) << "the simulation was not restarted";
}

TEST_F(StartCameraFormTest, StartStopALostDeviceAndARefusedGridSwitchTheScreenTheGlobalFlagAndTheGrid)
{
    QSignalSpy runningChanged(&camera, &MeterCamera::runningChanged);
    showActive(form);
    button("btnStartCamera")->click();
    EXPECT_FALSE(screenRunning()) << "without a device the component stays stopped, without a message";
    chooseDevice(capture.simulatedMeterIndex());
    QTest::mouseClick(button("btnStartCamera"), Qt::LeftButton);
    EXPECT_TRUE(is_camera_running(capture) && t.ctx.blnGlobalCameraRunning && screenRunning());
    EXPECT_EQ(form.focusWidget(), button("btnStopCamera")) << "after Start the next thing to press is Stop";
    EXPECT_TRUE(capture.detectionGrid() == t.ctx.settings.DETECTION_GRID && !detector.blnCameraSettled());
    EXPECT_TRUE(runningChanged.last().at(0).toBool());
    form.hide();
    showActive(form);
    EXPECT_TRUE(screenRunning()) << "reopened while running";

    // A loss the component reports while it still runs leaves the flag alone.
    emit capture.deviceLost(QString());
    EXPECT_TRUE(t.ctx.blnGlobalCameraRunning);
    button("btnStopCamera")->click();
    EXPECT_FALSE(is_camera_running(capture) || t.ctx.blnGlobalCameraRunning || screenRunning());
    EXPECT_FALSE(runningChanged.last().at(0).toBool());

    button("btnStartCamera")->click();
    capture.stop();
    emit capture.deviceLost(QStringLiteral("Busy."));
    EXPECT_FALSE(t.ctx.blnGlobalCameraRunning || screenRunning());
    EXPECT_EQ(t.dialogs.texts(), (QStringList{"CAMERA DEVICE LOST!", "CAMERA DEVICE LOST!\n\nBusy."}));

    // A grid the component refuses is replaced by the factory grid.
    t.dialogs.shown.clear();
    t.ctx.settings.DETECTION_GRID = QStringLiteral("55x55");
    detector.varActiveCells().clear();
    button("btnStartCamera")->click();
    EXPECT_EQ(t.dialogs.texts(), QStringList{"Invalid motion detection settings, factory default used"});
    EXPECT_TRUE(t.ctx.settings.DETECTION_GRID == SettingsDefaults::DefaultGrid &&
                capture.detectionGrid() == SettingsDefaults::DefaultGrid);
    EXPECT_EQ(detector.varActiveCells().size(), 100) << "the detector watches the grid in use";

    // A grid the component takes but with no active cell starts the camera with a warning.
    button("btnStopCamera")->click();
    t.dialogs.shown.clear();
    t.ctx.settings.DETECTION_GRID = QStringLiteral("000 000");
    button("btnStartCamera")->click();
    EXPECT_EQ(t.dialogs.texts(), QStringList{"No cells are active, mark will not be detected. Please go to the Motion "
                                             "Sensitivity form."});
    EXPECT_TRUE(t.ctx.blnGlobalCameraRunning);
}

} // namespace
