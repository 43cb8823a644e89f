// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/MetricsText.h"

#include "publish/MeterPublisher.h"
#include "publish/PublishPayloads.h"

#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

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
    // Every family there is, then none that can be left out; the first version holds every character the format
    // escapes: a wrong escape breaks the parse.
    for (const QByteArray& text : {MetricsText(twoTariffs, Totals, true, QStringLiteral("dev \"x\"\\y\nz")),
                                   MetricsText(unknowns(), {}, false, QStringLiteral("1.4.0"))}) {
        QProcess check;
        check.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
        check.write(text);
        check.closeWriteChannel();
        ASSERT_TRUE(check.waitForFinished(60000)) << check.errorString().toStdString();
        EXPECT_EQ(check.exitCode(), 0) << text.toStdString();
        EXPECT_EQ((check.readAllStandardOutput() + check.readAllStandardError()).toStdString(), "")
            << text.toStdString();
    }
}

TEST(MetricsText, UnknownsAreLeftOutNotGuessed)
{
    // Neither the backward turns without the direction counted, nor what is unknown, not even as a family.
    const QByteArray sparse = MetricsText(unknowns(), {}, false, QStringLiteral("1.4.0"));
    EXPECT_TRUE(sparse.contains("wattsight_camera_state{state=\"stalled\"} 1\n"));
    for (const char* absent : {"backward", "tariff", "wattsight_power_watts", "wattsight_meter_reading",
                               "wattsight_power_average", "wattsight_register_seen"})
        EXPECT_FALSE(sparse.contains(absent)) << absent;
    EXPECT_TRUE(MetricsText(everythingKnown(), Totals, true, QStringLiteral("1"))
                    .contains("wattsight_meter_reading_joules 103275864000\n"))
        << "kWh as joules";
}
