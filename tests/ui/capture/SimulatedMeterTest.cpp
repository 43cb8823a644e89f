// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/SimulatedMeter.h"

#include "FakeCameras.h"
#include "support/FakeClock.h"
#include "support/ScriptedDialogs.h"
#include "ui/capture/CaptureComponent.h"
#include "ui/support/WidgetActions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <tuple>

namespace {
// No noise, no drift, and a shutter too short to blur the mark; power 0 keeps the mark away.
SimulatedMeterSettings steady(double powerWatts = 1000.0, double angleDegrees = 0.0)
{
    return {.powerWatts = powerWatts, .noise = 0, .drift = 0, .exposure = 1e-4, .angleDegrees = angleDegrees};
}

double brightness(const QImage& img)
{
    double sum = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            sum += qGreen(img.pixel(x, y));
    return sum / (img.width() * img.height());
}

// A tilt, and a pixel that shows the plate beside the band there.
struct Tilt
{
    double degrees;
    QPoint plate;
};
class SimulatedMeterTilt : public ::testing::TestWithParam<Tilt>
{
};
} // namespace

TEST_P(SimulatedMeterTilt, TheMarkCrossesAlongItsPathThroughThePicturesCentreInThePassDuration)
{
    SCOPED_TRACE(::testing::Message() << GetParam().degrees << " degrees");
    SimulatedMeter meter(steady(1000.0, GetParam().degrees));
    const double markWidth = meter.settings().markWidth;
    const double angle = GetParam().degrees * std::numbers::pi / 180.0;
    // Walks the line through the centre in the mark's direction: the part in the picture, and the dark part.
    const auto walk = [&](const QImage& img, auto&& visit) {
        for (double s = -400; s <= 400; s += 0.5) {
            const QPoint p(int(std::floor(img.width() / 2.0 + s * std::cos(angle))),
                           int(std::floor(img.height() / 2.0 + s * std::sin(angle))));
            if (img.rect().contains(p))
                visit(s, img.pixel(p));
        }
    };
    const QImage away = meter.render(0.0);
    double first = 1e9, last = -1e9;
    walk(away, [&](double s, QRgb rgb) {
        EXPECT_GT(qBlue(rgb), qRed(rgb)) << "the cool disc edge all along, at " << s;
        std::tie(first, last) = std::tuple(std::min(first, s), std::max(last, s));
    });
    EXPECT_GT(qRed(away.pixel(GetParam().plate)), qBlue(away.pixel(GetParam().plate))) << "the warm plate beside it";
    const double view = last - first;
    for (double f : {-0.55, -0.45, -0.15, 0.0, 0.15, 0.45, 0.55}) {
        // The mark's centre moves (1 + markWidth) views in passDuration, and is at the picture's centre at
        // markCentreTime.
        const double centre = f * (1.0 + markWidth) * view;
        const double from = std::max(first, centre - markWidth * view / 2),
                     to = std::min(last, centre + markWidth * view / 2);
        double darkFrom = 1e9, darkTo = -1e9;
        walk(meter.render(meter.markCentreTime(1) + f * meter.passDuration()), [&](double s, QRgb rgb) {
            if (qGreen(rgb) < 70)
                std::tie(darkFrom, darkTo) = std::tuple(std::min(darkFrom, s), std::max(darkTo, s));
        });
        SCOPED_TRACE(f);
        if (from > to) {
            EXPECT_GT(darkFrom, darkTo) << "nothing of the mark on the line";
        } else {
            EXPECT_NEAR(darkFrom, from, 2.0);
            EXPECT_NEAR(darkTo, to, 2.0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Angles, SimulatedMeterTilt,
                         ::testing::Values(Tilt{0, {160, 2}}, Tilt{30, {319, 0}}, Tilt{90, {2, 120}},
                                           Tilt{-30, {319, 239}}));

TEST(SimulatedMeterLight, ALightSwitchedStepsAtOnceAndTheExposureTakesMostOfItBack)
{
    for (double factor : {1.6, 1 / 1.6}) {
        SimulatedMeterSettings s = steady(0.0);
        std::tie(s.lightStepAt, s.lightStepFactor) = std::tuple(5.0, factor);
        SimulatedMeter meter(s);
        const double before = brightness(meter.render(4.99));
        EXPECT_NEAR(brightness(meter.render(5.0)) / before, factor, 0.01);
        // Three time constants leave 5 % of the settling to come.
        const double left = brightness(meter.render(5.0 + s.lightStepRecovery)) / before - 1.0;
        EXPECT_NEAR(left / (factor - 1.0), s.lightStepKept, 0.06) << factor;
    }
}

TEST(SimulatedMeterLight, A100HzFlickerSwingsAShortExposureAndTwoCyclesAverageItOut)
{
    const double plain = brightness(SimulatedMeter(steady(0.0)).render(0.0));
    for (auto [exposure, swing, tolerance] : {std::tuple(0.004, 0.3, 0.05), std::tuple(0.02, 0.0, 0.005)}) {
        SimulatedMeterSettings s = steady(0.0);
        std::tie(s.flickerHz, s.exposure) = std::tuple(100.0, exposure);
        SimulatedMeter meter(s);
        double low = 1e9, high = 0;
        // One flicker cycle, a quarter of a millisecond apart.
        for (int i = 0; i < 40; ++i) {
            const double b = brightness(meter.render(0.3 + i * 0.00025)) / plain;
            std::tie(low, high) = std::tuple(std::min(low, b), std::max(high, b));
        }
        EXPECT_NEAR(high, 1.0 + swing, tolerance) << exposure;
        EXPECT_NEAR(low, 1.0 - swing, tolerance) << exposure;
    }
}

TEST(SimulatedMeterLight, AWornMarkDarkensTheBandAQuarterAsMuch)
{
    SimulatedMeterSettings s = steady();
    SimulatedMeter fresh(s);
    s.markContrast = 0.25;
    SimulatedMeter worn(s);
    const double t = fresh.markCentreTime(0), plain = brightness(fresh.render(0.0));
    EXPECT_NEAR((plain - brightness(worn.render(t))) / (plain - brightness(fresh.render(t))), 0.25, 0.01);
}

TEST(SimulatedMeterDialog, TheNewFieldsReachTheMeterAndItsLightSwitchesAtOnceWhileItRuns)
{
    FakeClock clock;
    ScriptedDialogs dialogs;
    FakeCameras cameras;
    CaptureComponent capture(clock, dialogs, cameras);
    capture.setSimulatedMeterFreeRunning(false);
    capture.setDeviceIndex(capture.simulatedMeterIndex());
    capture.startLiveVideo();
    clock.advance(5.0);
    answerNextDialog([&](QDialog& d) {
        child<QDoubleSpinBox>(&d, "edtAngle")->setValue(30);
        child<QComboBox>(&d, "cboFlicker")->setCurrentIndex(2); // 100 Hz
        child<QDoubleSpinBox>(&d, "edtMarkContrast")->setValue(25);
        child<QDoubleSpinBox>(&d, "edtExposure")->setValue(4);
        child<QCheckBox>(&d, "chkHotSpot")->setChecked(true);
        press(&d, "btnLight");
        const SimulatedMeterSettings running = capture.simulatedMeterSettings();
        EXPECT_EQ(std::tuple(running.lightStepAt, running.lightStepFactor, running.angleDegrees),
                  std::tuple(5.0, 1.6, 0.0))
            << "the light at once, the rest on OK";
        clock.advance(1.0);
        press(&d, "btnLight");
        d.accept();
    });
    capture.showDeviceSettingsDialog();
    const SimulatedMeterSettings s = capture.simulatedMeterSettings();
    EXPECT_EQ(std::tuple(s.angleDegrees, s.flicker, s.flickerHz, s.markContrast, s.exposure, s.hotSpot, s.lightStepAt,
                         s.lightStepFactor),
              std::tuple(30.0, false, 100.0, 0.25, 0.004, true, 6.0, 1 / 1.6));
}
