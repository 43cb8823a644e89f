// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SimulatedFrames.h"
#include "support/TestContext.h"
#include "ui/StartCameraForm.h"
#include "ui/UpDownControl.h"
#include "ui/camera/CameraForm.h"
#include "ui/support/WidgetActions.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

// One of the two arrows of an up-down control.
inline QToolButton* arrow(QWidget* upDown, Qt::ArrowType type)
{
    for (QToolButton* b : upDown->findChildren<QToolButton*>())
        if (b->arrowType() == type)
            return b;
    return nullptr;
}

// The camera setup screen on test services, wired as the program wires it, with the simulated meter
// stepped frame by frame.
class CameraScreensTest : public ::testing::Test
{
protected:
    template <typename T> T* child(QWidget* in, const char* name)
    {
        T* w = in->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    template <typename T> T* child(const char* name) { return child<T>(&form, name); }
    QLineEdit* field(const char* name) { return child<QLineEdit>(name); }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    void press(QWidget* in, const char* name) { QTest::mouseClick(child<QPushButton>(in, name), Qt::LeftButton); }
    void press(const char* name) { press(&form, name); }
    StartCameraForm* startForm() { return qobject_cast<StartCameraForm*>(form.startCameraForm()); }
    CaptureComponent& capture() { return form.capture(); }

    void open()
    {
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    // Start/Stop Camera, then the simulated meter chosen and started (or stopped) on the selection screen.
    void startOrStopThroughSelectionScreen(bool start)
    {
        answerNextDialog([this, start](QDialog& dialog) {
            if (start) {
                auto* devices = child<QComboBox>(&dialog, "cboVideoDevices");
                devices->setCurrentIndex(capture().simulatedMeterIndex());
                emit devices->activated(capture().simulatedMeterIndex());
                // After the choice, which selects the device's default size.
                frames.useTinyFrames(3600.0, 300.0);
            }
            press(&dialog, start ? "btnStartCamera" : "btnStopCamera");
            dialog.close();
        });
        press("StartCamera");
    }
    // Frames until the detector has settled.
    bool settle()
    {
        return frames.runUntil([this] { return form.detector().blnCameraSettled(); }, 4.0);
    }

    TestContext t;
    CameraForm form{
        t.ctx, [this](CameraForm& f) -> QDialog* { return new StartCameraForm(t.ctx, f.capture(), f.detector(), &f); }};
    SimulatedFrames frames{form.capture(), t.clock};
};
