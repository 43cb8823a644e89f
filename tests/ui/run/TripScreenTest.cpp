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
    QString text(const char* name) { return RunningApp::text(trip(), name); }
    QString texts(std::initializer_list<const char*> names) { return RunningApp::texts(trip(), names); }
    QString buttons() { return enabledPattern(trip(), {"StartButton", "StopButton", "ResetButton"}); }
    bool markDark() { return child<QLineEdit>(trip(), "Text2")->palette().color(QPalette::Base).lightness() < 100; }
};

TEST(TripScreen, SimulatedPulsesShowOnTheRunningTripWhichRefusesClosingAndExitUntilStopped)
{
    TripApp a;
    std::tie(a.ctx().settings.REVS_PER_KWH, a.ctx().settings.COST_PER_KWH) = std::tuple(1000, 15.0);
    QWidget* form = a.open(MenuItem::EnergyTripForm);
    auto* timer = a.app.tripEngine().findChild<QTimer*>(QStringLiteral("Timer1"));
    EXPECT_EQ(a.status() + a.buttons(), "STATUS: STOPPED100");
    press(form, "StartButton");
    EXPECT_EQ(a.status() + a.buttons(), "STATUS: RUNNING011");
    EXPECT_TRUE(timer->isActive());
    QWidget* sim = a.open(MenuItem::PulseSimulator);
    for (int i = 0; i < 2; ++i) {
        a.clock.advance(3.6);
        press(sim, "Command1");
        EXPECT_TRUE(a.ctx().blnGlobalPulseInProgress && a.markDark());
        press(sim, "Command2");
        EXPECT_FALSE(a.ctx().blnGlobalPulseInProgress || a.markDark());
    }
    EXPECT_EQ(a.texts({"Text4", "Text5", "Text11", "Text12"}), "2|0.002|1|15");
    a.clock.advance(7.2); // twice as long as the last revolution took
    a.letTimerTick();
    EXPECT_EQ(a.text("Text11") + '|' + child<QLabel>(form, "lblPowerNow")->text(), "1|")
        << "no camera counts, so no cap on the power now can be told";

    screenshotIfWanted(a.frameOf(form), "TripForm.png");

    // The tariff shows only when there are two, from the working values a reset (or a minute) takes.
    auto* tariff = child<QLabel>(form, "lblTariff");
    EXPECT_TRUE(tariff->isHidden());
    std::tie(a.ctx().settings.TARIFF_COUNT, a.ctx().settings.TARIFF_2_HOURS) =
        std::tuple(2, QStringLiteral("00:00-24:00"));
    press(form, "butBaseLine");
    press(form, "ResetButton");
    EXPECT_EQ(a.texts({"Text4", "Text11"}), "0|");
    EXPECT_EQ(tariff->isVisible() ? tariff->text() : QString(), "Night tariff: 5 Pence per KWH");

    // The running trip refuses closing and exit.
    a.clock.advance(3.6);
    a.pulse(sim);
    a.dialogs.shown.clear();
    a.frameOf(form)->close();
    a.app.window().action(MenuItem::ExitMenu)->trigger();
    EXPECT_TRUE(form->isVisible() && !a.ended);
    EXPECT_EQ(a.dialogs.texts(), (QStringList{"Please stop this trip screen before trying to close it",
                                              "You are currently running a trip display. Please stop this before "
                                              "trying to exit this application"}));
    a.stopCloseAndReopen(form, MenuItem::EnergyTripForm);
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(a.status() + a.text("Text4"), "STATUS: STOPPED1") << "a stopped trip keeps its figures";
}

} // namespace
