// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the README's pictures to docs/screenshots when WATTSIGHT_SCREENSHOTS is set in the environment.
#include "camera/MarkDetector.h"
#include "ui/camera/CameraScreens.h"
#include "ui/support/RunningApp.h"

namespace {

void picture(QWidget* w, const char* name)
{
    w->adjustSize();
    saveScreenshot(w, name);
}

TEST(Screenshots, TripLoggingAndCameraScreensWithTheMeterRunning)
{
    if (!screenshotsWanted())
        GTEST_SKIP() << "set WATTSIGHT_SCREENSHOTS=1 to refresh docs/screenshots";
    QDir().mkpath(QStringLiteral(WATTSIGHT_SCREENSHOT_DIR));
    RunningApp a;
    a.ctx().settings.REVS_PER_KWH = 375;
    a.ctx().settings.COST_PER_KWH = 13.7;
    QWidget* trip = a.open(MenuItem::EnergyTripForm);
    press(trip, "StartButton");
    QWidget* logging = a.open(MenuItem::EnergyLoggingForm);
    press(logging, "StartButton");
    QWidget* sim = a.open(MenuItem::PulseSimulator);
    a.busyMeter(sim, 120);
    press(sim, "Command1"); // the mark in view
    picture(a.frameOf(trip), "TripForm.png");
    picture(a.frameOf(logging), "LoggingForm.png");
    press(sim, "Command2");
    press(logging, "StopButton");
    press(trip, "StopButton");

    // Tuned as the README advises: the rows on the meter's plate switched off, the disc band most sensitive; a
    // real-sized picture, as from a webcam, turning at 1.8 kW, up to the moment the mark is in view.
    a.app.window().resize(1280, 900);
    const QString plate = QStringLiteral("0000000000");
    a.ctx().settings.DETECTION_GRID = plate + QStringLiteral(" 9999999999").repeated(8) + QLatin1Char(' ') + plate;
    auto* camera = qobject_cast<CameraForm*>(a.open(MenuItem::CameraSetup));
    ASSERT_NE(camera, nullptr);
    SimulatedFrames frames(camera->capture(), a.clock);
    startOrStopCamera(*camera, true, [&] {
        SimulatedMeterSettings s = camera->capture().simulatedMeterSettings();
        s.powerWatts = 1800.0;
        s.revsPerKWh = a.ctx().settings.REVS_PER_KWH;
        camera->capture().setSimulatedMeterSettings(s);
    });
    ASSERT_TRUE(frames.run(3.2 + 30.0));
    ASSERT_TRUE(frames.runUntil([&] { return camera->detector().blnMarkOn(); }, 10.0));
    QTest::qWait(120);
    ASSERT_TRUE(frames.step());
    QCoreApplication::processEvents();
    picture(a.frameOf(camera), "CameraForm.png");
    startOrStopCamera(*camera, false);
}

} // namespace
