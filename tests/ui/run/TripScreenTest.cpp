// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/support/RunningApp.h"

#include <QLabel>
#include <QTimer>

namespace {

// The trip screen of a running program.
struct TripApp : RunningApp
{
    QWidget* trip() { return screen(MenuItem::EnergyTripForm); }
    using RunningApp::text;
    using RunningApp::texts;
    QString text(const char* name) { return RunningApp::text(trip(), name); }
    QString texts(std::initializer_list<const char*> names) { return RunningApp::texts(trip(), names); }
    QString buttons() { return enabledPattern(trip(), {"StartButton", "StopButton", "ResetButton"}); }
    bool markDark() { return in<QLineEdit>(trip(), "Text2")->palette().color(QPalette::Base).lightness() < 100; }
};

TEST(TripScreen, StartsHiddenStoppedAndEmptyWithTheUnitsOfTheSettings)
{
    TripApp a;
    ASSERT_NE(a.trip(), nullptr);
    EXPECT_FALSE(a.trip()->isVisible());
    QWidget* form = a.open(MenuItem::EnergyTripForm);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(a.app.context().blnGlobalTripRunning);
    EXPECT_EQ(a.in<QLabel>(form, "Label22")->text(), "STATUS: STOPPED");
    EXPECT_EQ(a.buttons(), "100");
    EXPECT_EQ(a.in<QPushButton>(form, "butBaseLine")->text(), "Set Baseline");
    EXPECT_FALSE(a.in<QTimer>(form, "Timer1")->isActive());
    EXPECT_EQ(a.texts({"Text1", "Text3", "Text3a", "Text4", "Text5", "Text11", "Text12"}), "||||||");
    for (auto [label, unit] : {std::pair{"Label13", "Pence"},
                               {"Label14", "Pence"},
                               {"Label15", "Pence"},
                               {"Label21", "Pence"},
                               {"Label18", "KW"},
                               {"Label19", "KW"},
                               {"Label20", "KW"}})
        EXPECT_EQ(a.in<QLabel>(form, label)->text(), unit) << label;
}

TEST(TripScreen, SimulatedPulsesShowOnTheRunningTrip)
{
    TripApp a;
    a.app.context().settings.REVS_PER_KWH = 1000;
    a.app.context().settings.COST_PER_KWH = 15.0;
    QWidget* form = a.open(MenuItem::EnergyTripForm);
    a.click(form, "StartButton");
    EXPECT_TRUE(a.app.context().blnGlobalTripRunning);
    EXPECT_EQ(a.in<QLabel>(form, "Label22")->text(), "STATUS: RUNNING");
    EXPECT_EQ(a.buttons(), "011");
    auto* timer = a.in<QTimer>(form, "Timer1");
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 200);

    QWidget* sim = a.open(MenuItem::PulseSimulator);
    ASSERT_NE(sim, nullptr);
    for (int i = 0; i < 2; ++i) {
        a.clock.advance(3.6);
        a.click(sim, "Command1");
        EXPECT_TRUE(a.app.context().blnGlobalPulseInProgress);
        EXPECT_TRUE(a.markDark());
        a.click(sim, "Command2");
        EXPECT_FALSE(a.app.context().blnGlobalPulseInProgress);
        EXPECT_FALSE(a.markDark());
    }
    EXPECT_EQ(a.texts({"Text4", "Text5", "Text11", "Text12"}), "2|0.002|1|15");

    // The timer drives the engine: the elapsed time follows the clock without any pulse.
    a.clock.advance(3600 - 7.2);
    a.letTimerTick();
    // The first tick of the hour closed one minute holding both pulses: 0.002 kWh over one minute.
    EXPECT_EQ(a.texts({"Text3", "Text3a", "Text7", "Text9"}), "3600|01h 00m 00s|0.12|0.12");

    a.click(form, "butBaseLine");
    EXPECT_EQ(a.in<QPushButton>(form, "butBaseLine")->text(), "Clear Baseline");
    a.click(form, "ResetButton");
    EXPECT_EQ(a.texts({"Text4", "Text11"}), "0|");
    a.click(form, "StopButton");
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(a.in<QLabel>(form, "Label22")->text(), "STATUS: STOPPED");
}

TEST(TripScreen, ClosingAndExitAreRefusedWhileTheTripRuns)
{
    TripApp a;
    QWidget* form = a.open(MenuItem::EnergyTripForm);
    a.click(form, "StartButton");
    QWidget* sim = a.open(MenuItem::PulseSimulator);
    a.pulse(sim);

    QMdiSubWindow* frame = a.frameOf(form);
    ASSERT_NE(frame, nullptr);
    frame->close();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(a.dialogs.texts(), QStringList{"Please stop this trip screen before trying to close it"});
    a.dialogs.shown.clear();
    a.app.window().action(MenuItem::ExitMenu)->trigger();
    EXPECT_FALSE(a.ended);
    EXPECT_EQ(a.dialogs.texts(),
              QStringList{"You are currently running a trip display. Please stop this before trying to exit this "
                          "application"});

    a.dialogs.shown.clear();
    a.click(form, "StopButton");
    frame->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(a.dialogs.shown.empty());
    EXPECT_EQ(a.open(MenuItem::EnergyTripForm), form) << "the same screen comes back";
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(a.text("Text4"), "1") << "a stopped trip keeps its figures";
}

TEST(VariableViewers, ShowTheValuesAtTheMomentCommand1IsPressed)
{
    TripApp a;
    QWidget* viewer = a.open(MenuItem::TripScreenVariables);
    ASSERT_NE(viewer, nullptr);
    a.click(viewer, "Command1");
    EXPECT_EQ(a.in<QLabel>(viewer, "Label17")->text(), "blnGlobalTripRunning");
    EXPECT_EQ(a.texts(viewer, {"Text17", "Text21"}), "False|1000");

    a.click(a.open(MenuItem::EnergyTripForm), "StartButton");
    EXPECT_EQ(a.text(viewer, "Text17"), "False") << "nothing refreshes by itself";
    a.click(viewer, "Command1");
    EXPECT_EQ(a.text(viewer, "Text17"), "True");

    QWidget* logging = a.open(MenuItem::ViewLoggingScreenVariables);
    ASSERT_TRUE(logging && logging != viewer);
    a.click(logging, "Command1");
    EXPECT_EQ(a.in<QLabel>(logging, "Label1")->text(), "lngGlobalWkgLoggingNewPulseCount");
    EXPECT_EQ(a.in<QLabel>(logging, "Label21")->text(), "dblGlobalTimeLastLOGGINGevent");
}

TEST(Screenshots, TripScreenDebugFormAndViewers)
{
    if (!screenshotsWanted())
        GTEST_SKIP() << "set WATTSIGHT_SCREENSHOTS=1 to refresh docs/screenshots";
    TripApp a;
    a.app.context().settings.REVS_PER_KWH = 375;
    a.app.context().settings.COST_PER_KWH = 13.7;
    QWidget* form = a.open(MenuItem::EnergyTripForm);
    a.click(form, "StartButton");
    QWidget* sim = a.open(MenuItem::PulseSimulator);
    a.busyMeter(sim, 40);
    a.click(sim, "Command1"); // the mark in view
    a.frameOf(form)->adjustSize();
    saveScreenshot(a.frameOf(form), "TripForm.png");
    a.frameOf(sim)->adjustSize();
    saveScreenshot(a.frameOf(sim), "DebugForm.png");
    a.click(sim, "Command2");
    for (MenuItem item : {MenuItem::TripScreenVariables, MenuItem::ViewLoggingScreenVariables}) {
        QWidget* viewer = a.open(item);
        a.click(viewer, "Command1");
        a.frameOf(viewer)->adjustSize();
        saveScreenshot(a.frameOf(viewer),
                       item == MenuItem::TripScreenVariables ? "DebugTripForm.png" : "DebugLoggingForm.png");
    }
}

} // namespace
