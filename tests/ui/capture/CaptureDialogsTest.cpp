// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/CaptureDialogs.h"

#include "capture/CaptureComponent.h"
#include "capture/FakeCameras.h"
#include "support/FakeClock.h"
#include "support/ScriptedDialogs.h"
#include "ui/support/WidgetActions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <gtest/gtest.h>

TEST(SimulatedMeterDialog, TheNewFieldsReachTheMeterAndItsLightSwitchesAtOnceWhileItRuns)
{
    FakeClock clock;
    ScriptedDialogs dialogs;
    FakeCameras cameras;
    CaptureComponent capture(clock, dialogs, cameras);
    capture.setSimulatedMeterFreeRunning(false);
    capture.setDeviceIndex(capture.simulatedMeterIndex());
    capture.startLiveVideo();
    clock.advance(5.0);
    answerNextDialog([&](QDialog& d) {
        child<QDoubleSpinBox>(&d, "edtAngle")->setValue(30);
        child<QDoubleSpinBox>(&d, "edtPower")->setValue(-1500); // exporting: the disc turns backwards
        child<QComboBox>(&d, "cboFlicker")->setCurrentIndex(2); // 100 Hz
        child<QCheckBox>(&d, "chkHotSpot")->setChecked(true);
        press(&d, "btnLight");
        EXPECT_EQ(capture.simulatedMeterSettings().lightStepAt, 5.0) << "the light at once, the rest on OK";
        d.accept();
    });
    showDeviceSettings(capture, dialogs, nullptr);
    const SimulatedMeterSettings s = capture.simulatedMeterSettings();
    EXPECT_EQ(
        std::tuple(s.angleDegrees, s.powerWatts, s.flicker, s.flickerHz, s.hotSpot, s.lightStepAt, s.lightStepFactor),
        std::tuple(30.0, -1500.0, false, 100.0, true, 5.0, 1.6));
}
