// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/camera/FindMarkForm.h"

#include "CameraScreens.h"
#include "app/DetectorSettings.h"
#include "ui/support/RunningApp.h"

#include <QLabel>
#include <QLayout>
#include <QProgressBar>

namespace {
class FindMarkScreen : public CameraScreensTest
{
protected:
    // "Find Mark" pressed, then frames until the window has its proposal; a picture of it when wanted.
    FindMarkForm* findMark(const char* watchingShot = nullptr, const char* proposalShot = nullptr)
    {
        press("butFindMark");
        FindMarkForm* window = form.findMarkForm();
        if (!window)
            return nullptr;
        EXPECT_TRUE(frames.runUntil([&] { return window->findMark().passesSeen() == 1; }, 20.0));
        EXPECT_EQ(child<QProgressBar>(window, "prgFindMark")->value(), 1);
        EXPECT_FALSE(child<QPushButton>(window, "butUseTheseSettings")->isEnabled());
        screenshotIfWanted(window, watchingShot);
        EXPECT_TRUE(frames.runUntil([&] { return window->findMark().finished(); }, 20.0));
        EXPECT_TRUE(frames.run(4.0)); // the chart fills under the proposal
        screenshotIfWanted(window, proposalShot);
        return window;
    }
};

TEST_F(FindMarkScreen, CancelChangesNothingAndUseTheseSettingsReachesTheRunningDetector)
{
    open();
    EXPECT_FALSE(button("butFindMark")->isEnabled()) << "only while the camera runs";
    startOrStopThroughSelectionScreen(true);
    ASSERT_TRUE(settle());

    const GlobalSettings before = t.ctx.settings;
    const QList<GridCell> cellsBefore = camera.detector().varActiveCells();
    QPointer<FindMarkForm> window = findMark();
    ASSERT_TRUE(window);
    press(window, "butCancelFindMark");
    EXPECT_EQ(t.ctx.settings, before);
    EXPECT_EQ(
        std::tuple(camera.detector().varActiveCells(), capture().detectionGrid(), field("edtTriggerValue")->text()),
        std::tuple(cellsBefore, before.DETECTION_GRID, QString::number(before.TRIGGER_LEVEL)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window; }));

    window = findMark("FindMarkForm-watching.png", "FindMarkForm.png");
    ASSERT_TRUE(window);
    const FindMarkProposal proposal = window->findMark().proposal();
    press(window, "butUseTheseSettings");
    GlobalSettings expected = before;
    proposal.applyTo(expected);
    EXPECT_EQ(t.ctx.settings, expected);
    EXPECT_NE(t.ctx.settings.DETECTION_GRID, before.DETECTION_GRID);
    QList<GridCell> cells;
    parse_grid_string(proposal.grid, cells);
    EXPECT_EQ(std::tuple(camera.detector().varActiveCells(), capture().detectionGrid(),
                         field("edtTriggerValue")->text() + ' ' + field("edtDebounceMilliseconds")->text()),
              std::tuple(cells, proposal.grid,
                         QString::number(proposal.triggerLevel) + ' ' + QString::number(proposal.debounceMs)));

    // The detector counts with them: at 3.6 kW on 300 revolutions per kWh one revolution takes 3.33 s.
    const int counted = t.ctx.trip.totalPulse;
    ASSERT_TRUE(frames.run(20.0));
    EXPECT_EQ(t.ctx.trip.totalPulse - counted, 6);
    screenshotIfWanted(&form, "CameraForm.png");

    // Told that the disc may turn backwards, the detector counts each revolution the way it turned, forward being
    // the way Find Mark saw the disc go. The power reverses with the mark somewhere on its way round.
    ASSERT_TRUE(ForwardDegrees(t.ctx.settings));
    t.ctx.settings.COUNT_DIRECTION = true;
    SimulatedMeterSettings exporting = capture().simulatedMeterSettings();
    exporting.powerWatts = -exporting.powerWatts;
    capture().setSimulatedMeterSettings(exporting);
    const int beforeExport = t.ctx.trip.totalPulse;
    ASSERT_TRUE(frames.run(20.0));
    EXPECT_GE(t.ctx.trip.totalPulse - beforeExport, -7);
    EXPECT_LE(t.ctx.trip.totalPulse - beforeExport, -5);
    EXPECT_LT(t.ctx.pulse.dblGlobalInstantKW, 0);
    EXPECT_EQ(child<QLabel>(&form, "lblDirection")->text(),
              "Direction counted: the last revolution turned backwards (export); 0 of the passes since the start did "
              "not tell their direction.");
    screenshotIfWanted(&form, "CameraForm-direction.png");
    startOrStopThroughSelectionScreen(false);
}

// A worn mark, and lamps flickering at 100 Hz caught by a short exposure: Find Mark proposes settings up to the power
// it can assure, saying so whole where that is below 20 kW, the window growing for it; once used, Camera Setup shows
// the limit until a level is typed in by hand.
TEST_F(FindMarkScreen, EachProposalStatesItsRangeAndCameraSetupKeepsIt)
{
    open();
    startOrStopThroughSelectionScreen(true);
    for (const bool flickering : {true, false}) {
        const char* name = flickering ? "flicker" : "worn";
        SCOPED_TRACE(name);
        // At 25 frames a second each frame would catch a 100 Hz flicker at the same moment.
        frames.frameSeconds = flickering ? 1.0 / 30 : 0.04;
        SimulatedMeterSettings s = capture().simulatedMeterSettings();
        std::tie(s.width, s.height, s.powerWatts, s.revsPerKWh) = std::tuple(320, 240, 5000.0, 600.0);
        std::tie(s.flickerHz, s.exposure, s.markContrast) =
            flickering ? std::tuple(100.0, 0.004, 1.0) : std::tuple(0.0, 0.02, 0.4);
        capture().setSimulatedMeterSettings(s);
        press("butFindMark");
        QPointer<FindMarkForm> window = form.findMarkForm();
        ASSERT_TRUE(window);
        auto* hint = child<QLabel>(window, "lblFindMarkHint");
        ASSERT_TRUE(frames.runUntil([&] { return window->findMark().finished(); }, 30.0)) << hint->text().toStdString();
        const FindMarkProposal proposal = window->findMark().proposal();
        const QString limit = AssuredPowerText(proposal.assuredWatts);
        // Two passes of the flickering lamps' case, as the frames fall here, leave too little for 20 kW.
        EXPECT_TRUE(!flickering || proposal.assuredWatts < 20000);
        EXPECT_TRUE(proposal.assuredWatts == 20000 ||
                    (hint->isVisible() &&
                     hint->text().startsWith("These settings count every revolution up to " + limit + "; above")))
            << hint->text().toStdString();
        EXPECT_FALSE(hint->text().contains("kettle")) << "the disc turns at 5 kW already";
        EXPECT_GE(window->height(), window->layout()->totalHeightForWidth(window->width()));
        ASSERT_TRUE(frames.run(4.0)); // the chart fills under the proposal
        screenshotIfWanted(window, flickering ? "FindMarkForm-flicker.png" : "FindMarkForm-worn.png");
        press(window, "butUseTheseSettings");
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window; }));
        auto* range = child<QLabel>(&form, "lblAssuredRange");
        EXPECT_TRUE(range->isVisible() &&
                    range->text().endsWith("up to " + QString(limit).replace(' ', QChar::Nbsp) + '.'))
            << range->text().toStdString();
        EXPECT_EQ(t.ctx.settings.ASSURED_UP_TO_WATTS, proposal.assuredWatts);
    }
    field("edtTriggerValue")->setText(QString::number(t.ctx.settings.TRIGGER_LEVEL + 1));
    press("butOKTriggerLevel");
    EXPECT_EQ(t.ctx.settings.ASSURED_UP_TO_WATTS, 0);
    EXPECT_FALSE(child<QLabel>(&form, "lblAssuredRange")->isVisible());
    startOrStopThroughSelectionScreen(false);
}

} // namespace
