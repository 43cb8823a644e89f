// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/RegisterReader.h"

#include "capture/SimulatedMeter.h"
#include "capture/SimulatedRegister.h"

#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>

namespace {
// Readings whose wheels show k, k + 1, ... from the left, so that every digit stands on every wheel.
double shifted(int k, double rolled)
{
    double units = 0.0;
    for (int i = 0; i < 6; ++i)
        units = units * 10.0 + (k + i) % 10;
    return (units + rolled) / 10.0;
}

struct View
{
    int width = 320;
    double angle = 0.0;
    bool glare = false;
    double blur = 0.0;
};

// A still disc showing its register at `kWh`: six wheels, one after the point.
SimulatedMeter registerAt(double kWh, const View& view = {})
{
    SimulatedMeterSettings s{.powerWatts = 0.0, .angleDegrees = view.angle, .registerShown = true, .registerKWh = kWh};
    std::tie(s.registerGlare, s.registerBlur, s.width, s.height) =
        std::tuple(view.glare, view.blur, view.width, view.width * 3 / 4);
    return SimulatedMeter(s);
}

// Whatever the view, a whole read is the register's reading (within its last wheel's unit), a still register is read
// whole nearly always, a wheel half way between two digits is never taken as either, and when it is named, it is
// named right.
TEST(RegisterReader, ReadsStillRegistersWholeAndNeverTakesARollingWheelForADigit)
{
    RegisterReader reader;
    int still = 0, stillRight = 0;
    for (const View& view : {View{320, 0.0, false, 0.0}, View{320, 5.0, true, 0.0}, View{320, -5.0, false, 1.5},
                             View{640, -3.0, true, 3.0}, View{640, 5.0, false, 0.0}})
        for (int k = 0; k < 10; ++k)
            for (double rolled : {0.004, 0.5, 0.96}) {
                SimulatedMeter meter = registerAt(shifted(k, rolled), view);
                const double kWh = meter.registerReadingAt(0.0);
                const RegisterRead read = reader.read(meter.render(0.0), meter.registerRegion(), 6, 1);
                const std::string where = std::to_string(view.width) + " px, " + std::to_string(view.angle) +
                                          " degrees, " + std::to_string(kWh) + " kWh read " + read.text().toStdString();
                ASSERT_TRUE(read.problem.isEmpty()) << where;
                if (read.whole()) {
                    EXPECT_LT(std::abs(*read.kWh() - kWh), 0.1) << where;
                }
                if (rolled == 0.004) {
                    ++still;
                    stillRight += read.whole();
                }
                const WheelRead& last = read.wheels.back();
                if (rolled == 0.5) {
                    EXPECT_EQ(last.seen, WheelRead::Seen::Between) << where;
                    const int going = int(SimulatedRegister::wheelPositions(kWh, 6, 1).back());
                    if (last.digit >= 0) {
                        EXPECT_EQ(std::pair(last.digit, last.next), std::pair(going, (going + 1) % 10)) << where;
                    }
                }
            }
    EXPECT_GE(stillRight, still * 95 / 100) << stillRight << " of " << still << " still registers read whole";
}

// A wheel that cannot be seen is not guessed, a region without wheels says so, and a region too small for the
// picture says how large it is and what would help.
TEST(RegisterReader, SaysWhatItCannotReadInsteadOfGuessing)
{
    RegisterReader reader;
    SimulatedMeter meter = registerAt(shifted(3, 0.004));
    QImage picture = meter.render(0.0);
    const RegisterRegion region = meter.registerRegion();
    const QRect window = region.in(picture.size());
    {
        QPainter covered(&picture);
        covered.fillRect(window.x() + window.width() * 2 / 6, window.y(), window.width() / 6, window.height(),
                         QColor(40, 40, 42));
    }
    // Any kind of picture: the reader sees grey.
    const RegisterRead read = reader.read(picture.convertToFormat(QImage::Format_RGB888), region, 6, 1);
    ASSERT_EQ(read.wheels.size(), 6u) << read.problem.toStdString();
    EXPECT_NE(read.wheels[2].seen, WheelRead::Seen::Digit) << read.text().toStdString();
    EXPECT_EQ(read.text().left(2), QStringLiteral("34")) << read.text().toStdString();

    const RegisterRegion plate{0.02, 0.02, 0.2, 0.1};
    EXPECT_EQ(reader.read(picture, plate, 6, 1).problem,
              QStringLiteral("No number wheels seen in the register region."));
    const RegisterRead tiny = reader.read(picture, RegisterRegion{0.3, 0.05, 0.1, 0.04}, 6, 1);
    EXPECT_TRUE(tiny.wheels.empty());
    EXPECT_TRUE(tiny.problem.contains(QStringLiteral("32 x 10 pixels")) &&
                tiny.problem.contains(QStringLiteral("larger video size")))
        << tiny.problem.toStdString();
    EXPECT_FALSE(reader.read(QImage(), region, 6, 1).problem.isEmpty());
}

} // namespace
