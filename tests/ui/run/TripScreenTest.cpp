// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/support/RunningApp.h"

#include <QLabel>
#include <QTimer>

namespace {

// The trip screen of a running program.
struct TripApp : RunningApp
{
    QWidget* trip() { return screen(MenuItem::EnergyTripForm); }
    QString status() { return child<QLabel>(trip(), "Label22")->text(); }
    using RunningApp::text;
    using RunningApp::texts;
    QString text(const char* name) { return RunningApp::text(trip(), name); }
    QString texts(std::initializer_list<const char*> names) { return RunningApp::texts(trip(), names); }
    QString buttons() { return enabledPattern(trip(), {"StartButton", "StopButton", "ResetButton"}); }
    bool markDark() { return child<QLineEdit>(trip(), "Text2")->palette().color(QPalette::Base).lightness() < 100; }
};

TEST(TripScreen, OpensStoppedWithTheSettingsUnitsAndSimulatedPulsesShowOnTheRunningTrip)
{
    TripApp a;
    a.ctx().settings.REVS_PER_KWH = 1000;
    a.ctx().settings.COST_PER_KWH = 15.0;
    EXPECT_FALSE(a.trip()->isVisible());
    QWidget* form = a.open(MenuItem::EnergyTripForm);
    auto* timer = child<QTimer>(form, "Timer1");
    EXPECT_EQ(a.status() + a.buttons() + child<QPushButton>(form, "butBaseLine")->text(),
              "STATUS: STOPPED100Set Baseline");
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(a.texts({"Text1", "Text3", "Text3a", "Text4", "Text5", "Text11", "Text12"}), "||||||");
    QStringList units;
    for (const char* label : {"Label13", "Label14", "Label15", "Label21", "Label18", "Label19", "Label20"})
        units << child<QLabel>(form, label)->text();
    EXPECT_EQ(units.join('|'), "Pence|Pence|Pence|Pence|KW|KW|KW");

    press(form, "StartButton");
    EXPECT_TRUE(a.ctx().blnGlobalTripRunning);
    EXPECT_EQ(a.status() + a.buttons(), "STATUS: RUNNING011");
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 200);
    QWidget* sim = a.open(MenuItem::PulseSimulator);
    for (int i = 0; i < 2; ++i) {
        a.clock.advance(3.6);
        press(sim, "Command1");
        EXPECT_TRUE(a.ctx().blnGlobalPulseInProgress && a.markDark());
        press(sim, "Command2");
        EXPECT_FALSE(a.ctx().blnGlobalPulseInProgress || a.markDark());
    }
    EXPECT_EQ(a.texts({"Text4", "Text5", "Text11", "Text12"}), "2|0.002|1|15");

    // The timer drives the engine: the elapsed time follows the clock without any pulse.
    a.clock.advance(3600 - 7.2);
    a.letTimerTick();
    // The first tick of the hour closed one minute holding both pulses: 0.002 kWh over one minute.
    EXPECT_EQ(a.texts({"Text3", "Text3a", "Text7", "Text9"}), "3600|01h 00m 00s|0.12|0.12");

    press(form, "butBaseLine");
    EXPECT_EQ(child<QPushButton>(form, "butBaseLine")->text(), "Clear Baseline");
    press(form, "ResetButton");
    EXPECT_EQ(a.texts({"Text4", "Text11"}), "0|");
    press(form, "StopButton");
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(a.status(), "STATUS: STOPPED");
}

// The viewers show the values at the moment Command1 is pressed; the running trip refuses to close.
TEST(TripScreen, VariableViewersShowTheRunningTripWhichRefusesClosingAndExit)
{
    TripApp a;
    QWidget* viewer = a.open(MenuItem::TripScreenVariables);
    press(viewer, "Command1");
    EXPECT_EQ(child<QLabel>(viewer, "Label17")->text(), "blnGlobalTripRunning");
    EXPECT_EQ(a.texts(viewer, {"Text17", "Text21"}), "False|1000");
    QWidget* form = a.open(MenuItem::EnergyTripForm);
    press(form, "StartButton");
    EXPECT_EQ(a.text(viewer, "Text17"), "False") << "nothing refreshes by itself";
    press(viewer, "Command1");
    EXPECT_EQ(a.text(viewer, "Text17"), "True");
    QWidget* logging = a.open(MenuItem::ViewLoggingScreenVariables);
    ASSERT_TRUE(logging && logging != viewer);
    press(logging, "Command1");
    EXPECT_EQ(child<QLabel>(logging, "Label1")->text() + "|" + child<QLabel>(logging, "Label21")->text(),
              "lngGlobalWkgLoggingNewPulseCount|dblGlobalTimeLastLOGGINGevent");

    a.pulse(a.open(MenuItem::PulseSimulator));
    QMdiSubWindow* frame = a.frameOf(form);
    ASSERT_NE(frame, nullptr);
    a.dialogs.shown.clear();
    frame->close();
    a.app.window().action(MenuItem::ExitMenu)->trigger();
    EXPECT_TRUE(form->isVisible() && !a.ended);
    EXPECT_EQ(a.dialogs.texts(), (QStringList{"Please stop this trip screen before trying to close it",
                                              "You are currently running a trip display. Please stop this before "
                                              "trying to exit this application"}));
    a.stopCloseAndReopen(form, MenuItem::EnergyTripForm);
    EXPECT_EQ(a.text("Text4"), "1") << "a stopped trip keeps its figures";
}

} // namespace
