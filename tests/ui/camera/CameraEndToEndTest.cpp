// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program on test services, used as a person would: Setup -> Camera Setup, the simulated meter
// chosen and started, a trip counting its revolutions, then everything stopped and closed again.
#include "CameraScreens.h"
#include "camera/MarkDetector.h"
#include "ui/support/RunningApp.h"

#include <QLabel>

namespace {

TEST(CameraEndToEnd, SimulatedMeterDrivesATripThroughTheCameraScreens)
{
    RunningApp a;
    constexpr double Watts = 2400.0;
    const double revsPerKWh = a.ctx().settings.REVS_PER_KWH;

    auto* camera = qobject_cast<CameraForm*>(a.open(MenuItem::CameraSetup));
    ASSERT_NE(camera, nullptr);
    SimulatedFrames frames(camera->camera().capture(), a.clock);
    startOrStopCamera(*camera, true, [&] { frames.useTinyFrames(Watts, revsPerKWh); });
    ASSERT_TRUE(a.ctx().blnGlobalCameraRunning);

    QWidget* trip = a.open(MenuItem::EnergyTripForm);
    press(trip, "StartButton");
    ASSERT_TRUE(a.ctx().blnGlobalTripRunning);

    // 3 s to settle, then five revolutions (one every 3600 / (2.4 kW x revs per kWh) seconds) and a bit.
    const double period = 3600.0 / (Watts / 1000.0 * revsPerKWh);
    ASSERT_TRUE(frames.run(3.2 + 5 * period + 0.5));
    const int revolutions = camera->camera().detector().intMarksSeen();
    EXPECT_TRUE(revolutions == 5 || revolutions == 6) << revolutions;
    EXPECT_EQ(a.text(trip, "Text4"), QString::number(revolutions));
    // Frames are 40 ms apart, so a revolution is timed to within one frame: 1 % of the period at most.
    EXPECT_NEAR(a.text(trip, "Text11").toDouble(), Watts / 1000.0, Watts / 1000.0 * 0.02);
    EXPECT_EQ(camera->intensityHistory().revolutions(), revolutions);

    // Logging started now finds the camera running: no warning, and its screen says so.
    a.dialogs.shown.clear();
    QWidget* logging = a.open(MenuItem::EnergyLoggingForm);
    press(logging, "StartButton");
    ASSERT_TRUE(a.ctx().blnGlobalLoggingRunning);
    EXPECT_TRUE(a.dialogs.shown.empty());
    EXPECT_EQ(a.text(logging, "Text13"), "Camera is Running");
    ASSERT_TRUE(frames.run(period));
    EXPECT_GE(a.text(logging, "Text4").toInt(), 1) << "the logging counts the camera's revolutions too";

    // While the camera runs, the whole-program operations are refused with the camera's reason first.
    a.dialogs.shown.clear();
    a.app.window().action(MenuItem::ExitMenu)->trigger();
    a.app.window().action(MenuItem::SaveAllSettings)->trigger();
    a.app.window().action(MenuItem::LoadFactoryDefaults)->trigger();
    EXPECT_FALSE(a.ended);
    EXPECT_EQ(a.dialogs.texts(), (QStringList{"Please stop the camera before trying to exit this application",
                                              "Please stop the camera before trying to save settings",
                                              "Please stop the camera before trying to load the factory defaults"}));

    startOrStopCamera(*camera, false);
    EXPECT_FALSE(a.ctx().blnGlobalCameraRunning);
    // A stopped camera sees no revolution: however long the disc seems to stand, no power now is told.
    a.clock.advance(3 * period);
    a.letTimerTick();
    EXPECT_EQ(child<QLabel>(trip, "lblPowerNow")->text(), "");
    press(trip, "StopButton");
    press(logging, "StopButton");

    ASSERT_NE(a.frameOf(camera), nullptr);
    a.frameOf(camera)->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(a.app.window().screen(MenuItem::CameraSetup), nullptr) << "the screen and its detector are gone";

    a.app.window().action(MenuItem::ExitMenu)->trigger();
    EXPECT_TRUE(a.ended) << "nothing runs any more";
}

} // namespace
