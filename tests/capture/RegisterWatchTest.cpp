// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/RegisterWatch.h"

#include "capture/MeterCamera.h"
#include "capture/SimulatedFrames.h"
#include "metering/MeterReadingStore.h"
#include "metering/PulseSignal.h"
#include "support/TestContext.h"

#include <gtest/gtest.h>

namespace {

// The register of a disc turning at `watts`, read while revolutions are counted as the detector counts them: each
// one the disc completes, with the camera as its source, at the time of its frame.
struct RollingRegister
{
    explicit RollingRegister(double watts)
    {
        t.ctx.settings.REVS_PER_KWH = meter.revsPerKWh;
        // The test counts the revolutions in step with the disc: no cell of the detector's grid watches the mark.
        t.ctx.settings.DETECTION_GRID = QString("0000000000 ").repeated(10).trimmed();
        LoadWorkingMeterValues(t.ctx);
        meter.powerWatts = watts;
        disc.setSettings(meter);
        frames.frameSeconds = 1.0;
        capture.setDeviceIndex(capture.simulatedMeterIndex());
        capture.setSimulatedMeterSettings(meter);
        camera.start();
        store.load();
        store.setCameraSource(capture.meterSource());
        std::tie(t.ctx.settings.REGISTER_REGION, t.ctx.settings.REGISTER_DIGITS, t.ctx.settings.REGISTER_DECIMALS,
                 t.ctx.settings.REGISTER_CHECK_MINUTES) = std::tuple(disc.registerRegion().toString(), 6, 1, 2);
    }
    // Frames over `seconds`, counting every revolution the disc completes.
    void run(double seconds)
    {
        for (double s = 0; s < seconds; s += frames.frameSeconds) {
            frames.step();
            const double now = capture.simulatedSeconds();
            for (int turns = int(std::floor(disc.turnsAt(now))); counted < turns; ++counted)
                RegisterPulse(t.ctx, 500, t.clock.timer(), capture.meterSource());
            QTest::qWait(1); // the watch's tick and a read coming back
        }
    }
    double registerNow() { return disc.registerReadingAt(capture.simulatedSeconds()); }

    TestContext t;
    SimulatedMeterSettings meter{.revsPerKWh = 300.0, .registerShown = true, .registerKWh = 4815.27};
    MeterCamera camera{t.ctx};
    CaptureComponent& capture = camera.capture();
    SimulatedFrames frames{capture, t.clock};
    SimulatedMeter disc{meter};
    MeterReadingStore store{t.ctx};
    RegisterWatch watch{t.ctx, camera, store, {.tickMilliseconds = 1}};
    int counted = 0;
};

} // namespace

// However fast the register rolls, a proposal is the register at that moment: reads a minute apart agree once what
// was counted between them is added, and what is counted after the last read is added to it. Taken, the checks
// every REGISTER_CHECK_MINUTES agree with the count.
TEST(RegisterWatch, ARollingRegisterIsProposedAsItStandsAndThenAgreesWithTheCount)
{
    for (const double watts : {600.0, 3000.0, 12000.0}) {
        RollingRegister m(watts);
        m.run(600);
        ASSERT_TRUE(m.watch.proposal()) << watts << " W, last read " << m.watch.lastRead()->text().toStdString();
        EXPECT_NEAR(*m.watch.proposal(), m.registerNow(), 0.05) << watts;
        ASSERT_EQ(m.watch.takeReading(), "");
        m.run(600);
        ASSERT_TRUE(m.watch.difference()) << watts;
        EXPECT_LT(std::abs(*m.watch.difference()), 0.1) << watts;
        EXPECT_FALSE(m.watch.problem()) << watts;
        EXPECT_NEAR(m.store.reading().kWh(), m.registerNow(), 0.1) << watts;
    }
}

// A camera that stops leaves the disc turning unseen: a proposal made before can no longer be carried on by the count.
TEST(RegisterWatch, AStoppedCameraWithdrawsItsProposal)
{
    RollingRegister m(3000.0);
    m.run(600);
    ASSERT_TRUE(m.watch.proposal());
    m.camera.stop();
    EXPECT_FALSE(m.watch.proposal());
    EXPECT_EQ(m.watch.takeReading(), "the camera has not yet read the register whole twice a minute apart");
    EXPECT_FALSE(m.store.reading().set);
}
