// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/MetricsText.h"

#include "publish/MeterPublisher.h"
#include "publish/PublishPayloads.h"

#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <optional>

namespace {

const MeterTotals Totals{.energyForwardKwh = 0.52, .energyBackwardKwh = 0.12, .revolutionsForward = 195};

MeterReading everythingKnown()
{
    MeterReading s;
    s.powerW = 3000.067;
    s.camera = QStringLiteral("running");
    s.avgPower5minW = 2998.1;
    s.avgPower1hW = 0.1 + 0.2; // its shortest text that reads back needs all 17 digits
    s.meterReadingKwh = 28687.74;
    s.registerSeenKwh = 28687.6;
    return s;
}

MeterReading unknowns()
{
    MeterReading s;
    s.camera = QStringLiteral("stalled");
    return s;
}

// The value on the line of that series (name and labels), none without one.
std::optional<double> valueOf(const QByteArray& text, const QByteArray& series)
{
    for (const QByteArray& line : text.split('\n'))
        if (line.startsWith(series + ' '))
            return line.mid(series.size() + 1).toDouble();
    return std::nullopt;
}

} // namespace

TEST(MetricsText, PromtoolFindsNothingToCorrect)
{
    const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
    ASSERT_FALSE(promtool.isEmpty()) << "promtool is missing: scripts/install-deps installs it (package prometheus)";
    MeterReading twoTariffs = everythingKnown();
    twoTariffs.powerW = -1500.0;
    twoTariffs.tariff = 2;
    twoTariffs.meterReadingT1Kwh = 20000.5;
    twoTariffs.meterReadingT2Kwh = 8687.24;
    // The last version holds every character the format escapes: a wrong escape breaks the parse.
    for (const QByteArray& text : {MetricsText(everythingKnown(), Totals, false, QStringLiteral("1.4.0")),
                                   MetricsText(unknowns(), {}, false, QStringLiteral("1.4.0")),
                                   MetricsText(twoTariffs, Totals, true, QStringLiteral("dev \"x\"\\y\nz"))}) {
        QProcess check;
        check.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
        check.write(text);
        check.closeWriteChannel();
        ASSERT_TRUE(check.waitForFinished(60000)) << check.errorString().toStdString();
        EXPECT_EQ(check.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(check.exitCode(), 0) << text.toStdString();
        EXPECT_EQ((check.readAllStandardOutput() + check.readAllStandardError()).toStdString(), "")
            << text.toStdString();
    }
}

TEST(MetricsText, ValuesReadBackExactlyAndUnknownsAreLeftOut)
{
    MeterReading known = everythingKnown();
    known.tariff = 1;
    known.meterReadingT1Kwh = 20000.5; // tariff 2's register not set yet
    const QByteArray text = MetricsText(known, Totals, true, QStringLiteral("1.4.0"));
    EXPECT_EQ(valueOf(text, "wattsight_power_watts"), known.powerW);
    EXPECT_EQ(valueOf(text, "wattsight_power_average_watts{window=\"1h\"}"), known.avgPower1hW);
    EXPECT_EQ(valueOf(text, "wattsight_meter_reading_joules"), *known.meterReadingKwh * 3.6e6);
    EXPECT_EQ(valueOf(text, "wattsight_meter_reading_tariff_joules{tariff=\"1\"}"), 20000.5 * 3.6e6);
    EXPECT_FALSE(text.contains("tariff=\"2\""));
    EXPECT_EQ(valueOf(text, "wattsight_energy_joules_total{direction=\"backward\"}"), 0.12 * 3.6e6);
    EXPECT_EQ(valueOf(text, "wattsight_revolutions_total{direction=\"forward\"}"), 195);
    EXPECT_EQ(valueOf(text, "wattsight_camera_state{state=\"running\"}"), 1);
    EXPECT_EQ(valueOf(text, "wattsight_camera_state{state=\"stalled\"}"), 0);

    // Neither the backward turns without the direction counted, nor what is unknown, not even as a family.
    const QByteArray sparse = MetricsText(unknowns(), {}, false, QStringLiteral("1.4.0"));
    EXPECT_EQ(valueOf(sparse, "wattsight_camera_state{state=\"stalled\"}"), 1);
    for (const char* absent : {"backward", "tariff", "wattsight_power_watts", "wattsight_meter_reading",
                               "wattsight_power_average", "wattsight_register_seen"})
        EXPECT_FALSE(sparse.contains(absent)) << absent;
}
