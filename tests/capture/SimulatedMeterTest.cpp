// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/SimulatedMeter.h"

#include "capture/SimulatedRegister.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

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

class SimulatedMeterTilt : public ::testing::TestWithParam<double>
{
};

// Along the line through the picture's centre in the mark's direction, the mark is markWidth of the view long, its
// centre moves (1 + markWidth) views in passDuration and crosses the picture's centre at markCentreTime.
TEST_P(SimulatedMeterTilt, TheMarkCrossesAlongItsPathThroughThePicturesCentreInThePassDuration)
{
    SimulatedMeter meter(steady(1000.0, GetParam()));
    const double markWidth = meter.settings().markWidth, angle = GetParam() * std::numbers::pi / 180.0;
    // The line's part in the picture, its dark part, and how much of it is not the (cool) disc edge.
    const auto walk = [&](double seconds) {
        const QImage img = meter.render(seconds);
        double first = 1e9, last = -1e9, darkFrom = 1e9, darkTo = -1e9, offBand = 0;
        for (double s = -400; s <= 400; s += 0.5) {
            const QPoint p(int(std::floor(img.width() / 2.0 + s * std::cos(angle))),
                           int(std::floor(img.height() / 2.0 + s * std::sin(angle))));
            if (!img.rect().contains(p))
                continue;
            std::tie(first, last) = std::tuple(std::min(first, s), std::max(last, s));
            offBand += qBlue(img.pixel(p)) <= qRed(img.pixel(p));
            if (qGreen(img.pixel(p)) < 70)
                std::tie(darkFrom, darkTo) = std::tuple(std::min(darkFrom, s), std::max(darkTo, s));
        }
        return std::array{first, last, darkFrom, darkTo, offBand};
    };
    const auto [first, last, darkFrom0, darkTo0, offBand] = walk(0.0);
    EXPECT_EQ(offBand, 0) << "the disc edge crosses the whole picture along the mark's path";
    const double view = last - first;
    for (double f : {-0.55, -0.45, 0.0, 0.15, 0.45, 0.55}) {
        const double centre = f * (1.0 + markWidth) * view;
        const double from = std::max(first, centre - markWidth * view / 2),
                     to = std::min(last, centre + markWidth * view / 2);
        const auto [a, b, darkFrom, darkTo, c] = walk(meter.markCentreTime(1) + f * meter.passDuration());
        if (from > to) {
            EXPECT_GT(darkFrom, darkTo) << GetParam() << " degrees at " << f << ": nothing of the mark on the line";
        } else {
            EXPECT_NEAR(darkFrom, from, 2.0) << GetParam() << " degrees at " << f;
            EXPECT_NEAR(darkTo, to, 2.0) << GetParam() << " degrees at " << f;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Angles, SimulatedMeterTilt, ::testing::Values(0.0, 30.0, 90.0, -30.0));

// A light switched on or off steps at once and the exposure takes most of it back.
TEST(SimulatedMeterLight, ASwitchedLightStepsAtOnceAndTheExposureTakesMostOfItBack)
{
    const double plain = brightness(SimulatedMeter(steady(0.0)).render(0.0));
    for (double factor : {1.6, 1 / 1.6}) {
        SimulatedMeterSettings s = steady(0.0);
        std::tie(s.lightStepAt, s.lightStepFactor) = std::tuple(5.0, factor);
        SimulatedMeter meter(s);
        EXPECT_NEAR(brightness(meter.render(5.0)) / plain, factor, 0.01);
        // Three time constants leave 5 % of the settling to come.
        const double left = brightness(meter.render(5.0 + s.lightStepRecovery)) / plain - 1.0;
        EXPECT_NEAR(left / (factor - 1.0), s.lightStepKept, 0.06) << factor;
    }
}

// The register adds the disc's net turns to its reading, so it goes back while the disc turns backwards, and it
// continues from where it was when the power changes.
TEST(SimulatedMeterRegister, TheReadingFollowsTheDiscsTurnsBothWays)
{
    SimulatedMeterSettings s = steady(1200.0);
    std::tie(s.registerShown, s.registerKWh, s.revsPerKWh) = std::tuple(true, 1234.5, 375.0);
    SimulatedMeter meter(s);
    EXPECT_NEAR(meter.registerReadingAt(3600.0), 1234.5 + 1.2, 1e-9) << "an hour at 1.2 kW";
    s.powerWatts = -600.0;
    meter.setSettings(s);
    EXPECT_NEAR(meter.registerReadingAt(7200.0), 1234.5 + 1.2 - 0.6, 1e-9) << "then an hour exporting 0.6 kW";
}

// Each wheel stands on its digit and rolls to the next only while the wheel to its right goes from 9 to 0, all the
// way up the register, and a reading past the last wheel wraps round.
TEST(SimulatedMeterRegister, AHigherWheelRollsOnlyWhileTheOneRightOfItGoesFromNineToZero)
{
    const auto expectWheels = [](double kWh, const std::vector<double>& expected) {
        const std::vector<double> wheels = SimulatedRegister::wheelPositions(kWh, 6, 1);
        ASSERT_EQ(wheels.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_NEAR(wheels[i], expected[i], 1e-6) << kWh << " kWh, wheel " << i;
    };
    expectWheels(1234.56, {0, 1, 2, 3, 4, 5.6});
    expectWheels(1239.85, {0, 1, 2, 3, 9, 8.5}); // below 9 on the last wheel nothing else moves
    expectWheels(1239.95, {0, 1, 2, 3.5, 9.5, 9.5});
    expectWheels(99999.97, {9.7, 9.7, 9.7, 9.7, 9.7, 9.7});
    expectWheels(100001.2, {0, 0, 0, 0, 1, 2});
    expectWheels(-0.5, {9, 9, 9, 9, 9, 5});
}

} // namespace
