// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/MarkDetector.h"
#include "capture/MeterCamera.h"
#include "capture/SimulatedFrames.h"
#include "support/TestContext.h"
#include "ui/camera/CameraForm.h"
#include "ui/camera/MotionDetection.h"
#include "ui/camera/StartCameraForm.h"
#include "ui/setup/UpDownControl.h"
#include "ui/support/WidgetActions.h"

#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

// One of the two arrows of an up-down control.
inline QToolButton* arrow(QWidget* upDown, Qt::ArrowType type)
{
    const QList<QToolButton*> buttons = upDown->findChildren<QToolButton*>();
    return *std::ranges::find(buttons, type, &QToolButton::arrowType);
}

// "Start/Stop Camera" on the camera setup screen, then on the selection screen the simulated meter chosen
// (when starting, followed by `setup`) and Start or Stop pressed.
inline void startOrStopCamera(CameraForm& camera, bool start, const std::function<void()>& setup = {})
{
    answerNextDialog([start, setup](QDialog& selection) {
        // A person's click lands in an active window; a loaded machine may not have activated it yet.
        EXPECT_TRUE(QTest::qWaitForWindowActive(&selection));
        if (start) {
            auto* devices = child<QComboBox>(&selection, "cboVideoDevices");
            const int simulated = devices->findText(CaptureComponent::SimulatedMeterName);
            devices->setCurrentIndex(simulated);
            emit devices->activated(simulated);
            if (setup)
                setup();
        }
        press(&selection, start ? "btnStartCamera" : "btnStopCamera");
        selection.close();
    });
    press(&camera, "StartCamera");
}

// The camera setup screen on test services, wired as the program wires it, with the simulated meter
// stepped frame by frame.
class CameraScreensTest : public ::testing::Test
{
protected:
    QLineEdit* field(const char* name) { return child<QLineEdit>(&form, name); }
    QPushButton* button(const char* name) { return child<QPushButton>(&form, name); }
    void press(const char* name) { ::press(&form, name); }
    void press(QWidget* in, const char* name) { ::press(in, name); }
    StartCameraForm* startForm() { return qobject_cast<StartCameraForm*>(form.startCameraForm()); }
    CaptureComponent& capture() { return camera.capture(); }
    // "Motion Sensitivity" pressed: the image settings screen it opens.
    MotionDetection* openMotion()
    {
        press("MotionSensitivity");
        MotionDetection* m = form.motionDetection();
        EXPECT_NE(m, nullptr);
        return m;
    }
    void open() { showActive(form); }
    // Start/Stop Camera, then the simulated meter (small and turning at 3.6 kW) started, or stopped.
    void startOrStopThroughSelectionScreen(bool start)
    {
        startOrStopCamera(form, start, [this] { frames.useTinyFrames(3600.0, 300.0); });
    }
    // Frames until the detector has settled.
    bool settle()
    {
        return frames.runUntil([this] { return camera.detector().blnCameraSettled(); }, 4.0);
    }

    TestContext t;
    MeterCamera camera{t.ctx};
    CameraForm form{t.ctx, camera};
    SimulatedFrames frames{camera.capture(), t.clock};
};
