// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeCameras.h"
#include "support/FakeClock.h"
#include "support/ScriptedDialogs.h"
#include "ui/capture/CaptureComponent.h"
#include "ui/capture/CapturePreviewWidget.h"
#include "ui/support/RunningApp.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

// The live view of the simulated meter with the mark in the middle of the picture, under the grid and lamp.
TEST(CapturePreview, GridTintAndMarkStateOverTheMeterPicture)
{
    FakeClock clock;
    ScriptedDialogs dialogs;
    FakeCameras cameras;
    CaptureComponent capture(clock, dialogs, cameras);
    SimulatedMeterSettings s;
    s.width = 320;
    s.height = 240;
    capture.setSimulatedMeterSettings(s);
    capture.setSimulatedMeterFreeRunning(false);
    capture.setDetectionGrid(QStringLiteral("0000000000") + QStringLiteral(" 0000990000").repeated(8) +
                             QStringLiteral(" 0000000000"));
    capture.setDeviceIndex(capture.simulatedMeterIndex());
    capture.startLiveVideo();
    clock.advance(SimulatedMeter(s).markCentreTime(0));
    QSignalSpy preview(&capture, &CaptureComponent::previewChanged);
    capture.renderSimulatedFrame();
    ASSERT_TRUE(preview.wait(3000));
    const QImage picture = capture.previewImage();
    ASSERT_EQ(picture.size(), QSize(320, 240));
    // A dark mark across the silver band in the middle, bright band at the sides.
    EXPECT_LT(qGray(picture.pixel(160, 120)), 40);
    EXPECT_GT(qGray(picture.pixel(10, 120)), 90);

    CapturePreviewWidget view;
    view.resize(320, 240);
    view.setImage(picture);
    view.setGrid(capture.grid());
    const QImage off = view.grab().toImage();
    view.setMarkOn(true);
    const QColor lampOn = view.grab().toImage().pixelColor(306, 14);
    // Active cells are tinted blue against the same picture in an inactive cell of the band.
    const QColor active = off.pixelColor(150, 60), inactive = off.pixelColor(150 - 64, 60);
    EXPECT_GT(active.blue() - active.red(), inactive.blue() - inactive.red() + 20);
    EXPECT_LT(off.pixelColor(306, 14).red(), 100);
    EXPECT_TRUE(lampOn.red() > 200 && lampOn.green() < 80) << "the mark lamp in the corner turns red";
    screenshotIfWanted(&view, "CapturePreview.png");
}
