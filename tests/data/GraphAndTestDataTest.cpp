// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/GraphSeries.h"
#include "data/TestDataGenerator.h"
#include "support/TestContext.h"

#include <gtest/gtest.h>

namespace {

// Ten records five minutes apart with distinct values in every graphed slot.
struct TenRecords : testing::Test
{
    void SetUp() override
    {
        for (int i = 1; i <= 10; ++i) {
            LogRecord r;
            r.DateTime = QDateTime(QDate(2009, 1, 5), QTime(9, 0)).addSecs(300 * i);
            r.EnergyThisInterval = i;
            r.AvgPowerThisInterval = 10.0 * i;
            r.TotalEnergy = 100.0 + i;
            r.LightLevel = 1000 + i;
            t.ctx.varGlobalDataArray.append(r);
        }
    }
    GraphSeries graph(qint32 records, int type, qint64 factor)
    {
        return CalculateGraph(t.ctx.varGlobalDataArray, records, types[size_t(type)], factor);
    }
    TestContext t;
    std::vector<GraphType> types = graphTypes(t.ctx.settings);
};

TEST_F(TenRecords, CompactionByGroupRule)
{
    const auto at = [&](int row) { return graphTime(t.ctx.varGlobalDataArray.row(row).DateTime); };
    struct Case
    {
        int type;
        std::vector<double> values;
    };
    for (const Case& c :
         {Case{2, {6, 15, 24}}, Case{0, {20, 50, 80}}, Case{4, {103, 106, 109}}, Case{7, {1002, 1005, 1008}}}) {
        SCOPED_TRACE(c.type);
        const GraphSeries s = graph(10, c.type, 3);
        EXPECT_EQ(s.values, c.values);
        EXPECT_EQ(s.times, (std::vector<double>{at(3), at(6), at(9)}));
    }
}

TEST_F(TenRecords, FactorsOneZeroAndLargerThanTheData)
{
    for (qint64 factor : {1, 0}) {
        const GraphSeries s = graph(10, 0, factor);
        ASSERT_EQ(s.size(), 10u);
        EXPECT_EQ(s.values[9], 100.0);
    }
    EXPECT_EQ(graph(10, 0, 11).size(), 0u);
    EXPECT_EQ(graph(1, 0, 1).size(), 1u);
    EXPECT_EQ(graph(0, 0, 1).size(), 0u);
    // The count is taken when the calculation starts; records beyond it are not drawn.
    EXPECT_EQ(graph(7, 2, 2).size(), 3u);
}

TEST(GraphSeries, TimesAreWallClockSecondsWhateverTheTimeZone)
{
    EXPECT_EQ(graphTime(QDateTime(QDate(1970, 1, 2), QTime(1, 0, 30))), 90030.0);
    // Summer and winter time stay whole days apart on the axis.
    const QDateTime summer(QDate(2009, 7, 1), QTime(12, 0));
    EXPECT_EQ(graphTime(summer.addDays(180)) - graphTime(summer), 180 * 86400.0);
    EXPECT_EQ(graphTimeToDateTime(graphTime(summer)), summer);
    EXPECT_EQ(graphTime(QDateTime()), 0.0);
}

TEST(GraphSeries, TitlesFollowTheUnitSettingsAndEachTypeItsSlot)
{
    TestContext t;
    t.ctx.settings.POWER_TITLE = QStringLiteral("kW");
    t.ctx.settings.ENERGY_TITLE = QStringLiteral("kWh");
    t.ctx.settings.CURRENCY_TITLE = QStringLiteral("Cents");
    const auto types = graphTypes(t.ctx.settings);
    ASSERT_EQ(types.size(), 8u);
    QStringList titles;
    std::vector<int> slotNumbers;
    for (const GraphType& type : types) {
        titles << type.graphTitle;
        slotNumbers.push_back(type.slot);
    }
    EXPECT_EQ(titles, QStringList({"Power (kW) averaged over each logging interval",
                                   "Cost per hour (Cents/hour) averaged over each logging interval",
                                   "Energy used (kWh) during each logging interval",
                                   "Cost incurred (Cents) during each logging interval",
                                   "Total energy (kWh) used since start of logging",
                                   "Total cost incurred (Cents) since start of logging", types[6].graphTitle,
                                   "Ambient light level"}));
    EXPECT_EQ(slotNumbers, (std::vector<int>{15, 16, 13, 14, 9, 10, 12, 20}));
    EXPECT_EQ(types[0].listText, "Average power (KW) during logging interval");
    EXPECT_EQ(QStringList({types[0].yAxisTitle, types[1].yAxisTitle, types[5].yAxisTitle, types[6].yAxisTitle}),
              QStringList({"Power:   kW", "Cost per hour:   Cents/hour", "Cost:   Cents", "Disk Revolutions"}));
}

TEST(GraphSeries, CompactionFieldCleaning)
{
    struct Case
    {
        const char* typed;
        qint32 records;
        const char* shown;
    };
    for (const Case& c :
         {Case{"a1b2", 35, "12"}, Case{"", 35, "1"}, Case{"007", 35, "7"}, Case{"3", 5, "1"}, Case{"2", 5, "2"},
          Case{"000", 5, "0"}, Case{"99999999999999999999", 2000000000, "1"}, Case{"2", 0, "1"}})
        EXPECT_EQ(cleanCompactionText(QString::fromLatin1(c.typed), c.records), c.shown) << c.typed;
}

class FillArrayTest : public testing::Test
{
protected:
    void SetUp() override
    {
        t.ctx.pulse.dblGlobalWkgRevsPerKWH = 600;
        t.ctx.pulse.dblGlobalWkgCostPerKWH = 15;
        t.clock.setNow(QDateTime(QDate(2009, 1, 5), QTime(23, 30, 10, 400)));
    }
    TestContext t;
};

TEST_F(FillArrayTest, RecordsFollowTheIntervalAndAddUp)
{
    std::vector<qint32> rowsSeen;
    EXPECT_EQ(FillArray(t.ctx, {"15", "4", "10"}, [&](qint32 r) { rowsSeen.push_back(r); }), QString());
    EXPECT_EQ(rowsSeen, (std::vector<qint32>{1, 2, 3, 4}));
    ASSERT_EQ(t.ctx.varGlobalDataArray.pointer(), 5);
    qint32 pulses = 0;
    for (qint32 i = 1; i <= 4; ++i) {
        const LogRecord& r = t.ctx.varGlobalDataArray.row(i);
        EXPECT_EQ(r.DateTime, QDateTime(QDate(2009, 1, 5), QTime(23, 30, 10)).addSecs(900 * i));
        EXPECT_EQ(r.Day * 100 + r.Hour, r.DateTime.date().day() * 100 + r.DateTime.time().hour());
        EXPECT_EQ(r.LoggingSeconds, 900 * i);
        EXPECT_TRUE(r.PulsesThisInterval >= 0 && r.PulsesThisInterval <= 10 && r.LightLevel >= 0 &&
                    r.LightLevel <= 10000);
        pulses += r.PulsesThisInterval;
        EXPECT_EQ(r.LoggingTotalPulse, pulses);
        EXPECT_DOUBLE_EQ(r.AvgPowerThisInterval, r.PulsesThisInterval / 600.0 * 4.0);
        EXPECT_DOUBLE_EQ(r.CostThisInterval, 15 * r.EnergyThisInterval);
    }
    EXPECT_DOUBLE_EQ(t.ctx.varGlobalDataArray.row(4).TotalEnergy, pulses / 600.0);
}

TEST_F(FillArrayTest, NoPulsesGiveZerosAndTwoPressesDiffer)
{
    ASSERT_EQ(FillArray(t.ctx, {"5", "20", "0"}), QString());
    for (qint32 i = 1; i <= 20; ++i) {
        const LogRecord& r = t.ctx.varGlobalDataArray.row(i);
        EXPECT_EQ(r.LoggingTotalPulse + r.TotalEnergy + r.TotalCost + r.AvgCostPerHourThisInterval, 0.0);
    }
    auto series = [&] {
        EXPECT_EQ(FillArray(t.ctx, {"5", "50", "100000"}), QString());
        std::vector<qint32> p;
        for (qint32 i = 1; i <= 50; ++i)
            p.push_back(t.ctx.varGlobalDataArray.row(i).PulsesThisInterval);
        return p;
    };
    EXPECT_NE(series(), series());
}

TEST_F(FillArrayTest, RefusesWhileLoggingAndBadInput)
{
    t.ctx.varGlobalDataArray = DataArray(100);
    t.ctx.varGlobalDataArray.append(LogRecord{});
    t.ctx.blnGlobalLoggingRunning = true;
    EXPECT_EQ(FillArray(t.ctx, {"15", "4", "10"}), FillWhileLoggingText);
    t.ctx.blnGlobalLoggingRunning = false;
    for (const FillRequest& bad :
         {FillRequest{"Text1", "4", "10"}, FillRequest{"0", "4", "10"}, FillRequest{"15", "Text2", "10"},
          FillRequest{"15", "101", "10"}, FillRequest{"15", "0", "10"}, FillRequest{"15", "4", "-3"},
          FillRequest{"15", "4", "1.5"}, FillRequest{"15", "100", "999999999"}, FillRequest{"999999", "100", "1"}}) {
        EXPECT_FALSE(FillArray(t.ctx, bad).isEmpty())
            << bad.intervalMinutes.toStdString() << " " << bad.records.toStdString();
        EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 2);
    }
    EXPECT_EQ(FillArray(t.ctx, {" 15 ", "100", "10"}), QString());
    EXPECT_EQ(t.ctx.varGlobalDataArray.pointer(), 101);

    // Twelve-digit minutes times a huge table pass 64 bits; the check must still see the interval too long.
    t.ctx.varGlobalDataArray = DataArray(100000000);
    EXPECT_TRUE(FillArray(t.ctx, {"500000000000", "100000000", "999"}).startsWith(QStringLiteral("The logging")));
}

} // namespace
