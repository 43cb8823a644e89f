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
            std::tie(r.DateTime, r.EnergyThisInterval, r.AvgPowerThisInterval, r.TotalEnergy, r.LightLevel) =
                std::tuple(QDateTime(QDate(2009, 1, 5), QTime(9, 0)).addSecs(300 * i), i, 10.0 * i, 100.0 + i,
                           1000 + i);
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

TEST_F(TenRecords, CompactionByGroupRuleFactorsOneZeroAndLargerThanTheDataWallClockTimesAndTheTypedFactor)
{
    const auto at = [&](int row) { return graphTime(t.ctx.varGlobalDataArray.row(row).DateTime); };
    using Values = std::vector<double>;
    for (const auto& [type, values] : {std::pair{2, Values{6, 15, 24}},
                                       {0, Values{20, 50, 80}},
                                       {4, Values{103, 106, 109}},
                                       {7, Values{1002, 1005, 1008}}}) {
        const GraphSeries s = graph(10, type, 3);
        EXPECT_EQ(s.values, values) << type;
        EXPECT_EQ(s.times, (Values{at(3), at(6), at(9)}));
    }
    for (qint64 factor : {1, 0}) {
        const GraphSeries s = graph(10, 0, factor);
        ASSERT_EQ(s.size(), 10u);
        EXPECT_EQ(s.values[9], 100.0);
    }
    // The count is taken when the calculation starts; records beyond it are not drawn.
    EXPECT_EQ(std::tuple(graph(10, 0, 11).size(), graph(1, 0, 1).size(), graph(0, 0, 1).size(), graph(7, 2, 2).size()),
              std::tuple(0u, 1u, 0u, 3u));

    // Times are wall-clock seconds whatever the time zone.
    EXPECT_EQ(graphTime(QDateTime(QDate(1970, 1, 2), QTime(1, 0, 30))), 90030.0);
    // Summer and winter time stay whole days apart on the axis.
    const QDateTime summer(QDate(2009, 7, 1), QTime(12, 0));
    EXPECT_EQ(graphTime(summer.addDays(180)) - graphTime(summer), 180 * 86400.0);
    EXPECT_EQ(graphTimeToDateTime(graphTime(summer)), summer);
    EXPECT_EQ(graphTime(QDateTime()), 0.0);

    // The factor as typed: digits only, at least 1, at most the record count.
    const std::tuple<const char*, qint32, const char*> cases[] = {{"a1b2", 35, "12"},
                                                                  {"", 35, "1"},
                                                                  {"007", 35, "7"},
                                                                  {"3", 5, "1"},
                                                                  {"2", 5, "2"},
                                                                  {"000", 5, "0"},
                                                                  {"99999999999999999999", 2000000000, "1"},
                                                                  {"2", 0, "1"}};
    for (const auto& [typed, records, shown] : cases)
        EXPECT_EQ(cleanCompactionText(QString::fromLatin1(typed), records), shown) << typed;
}

TEST(FillArray, RecordsFollowTheIntervalAndAddUpEachPressDiffersAndBadInputIsRefused)
{
    TestContext t;
    std::tie(t.ctx.pulse.dblGlobalWkgRevsPerKWH, t.ctx.pulse.dblGlobalWkgCostPerKWH) = std::tuple(600, 15);
    t.clock.setNow(QDateTime(QDate(2009, 1, 5), QTime(23, 30, 10, 400)));
    std::vector<qint32> rowsSeen;
    EXPECT_EQ(FillArray(t.ctx, {"15", "4", "10"}, [&](qint32 r) { rowsSeen.push_back(r); }), QString());
    EXPECT_EQ(rowsSeen, (std::vector<qint32>{1, 2, 3, 4}));
    ASSERT_EQ(t.ctx.varGlobalDataArray.pointer(), 5);
    qint32 pulses = 0;
    for (qint32 i = 1; i <= 4; ++i) {
        const LogRecord& r = t.ctx.varGlobalDataArray.row(i);
        EXPECT_EQ(std::tuple(r.DateTime, r.LoggingSeconds),
                  std::tuple(QDateTime(QDate(2009, 1, 5), QTime(23, 30, 10)).addSecs(900 * i), 900 * i));
        EXPECT_TRUE(r.PulsesThisInterval >= 0 && r.PulsesThisInterval <= 10 && r.LightLevel >= 0 &&
                    r.LightLevel <= 10000);
        EXPECT_EQ(r.LoggingTotalPulse, pulses += r.PulsesThisInterval);
        EXPECT_DOUBLE_EQ(r.AvgPowerThisInterval, r.PulsesThisInterval / 600.0 * 4.0);
        EXPECT_DOUBLE_EQ(r.CostThisInterval, 15 * r.EnergyThisInterval);
    }
    EXPECT_DOUBLE_EQ(t.ctx.varGlobalDataArray.row(4).TotalEnergy, pulses / 600.0);
    auto series = [&] {
        EXPECT_EQ(FillArray(t.ctx, {"5", "50", "100000"}), QString());
        std::vector<qint32> p;
        for (qint32 i = 1; i <= 50; ++i)
            p.push_back(t.ctx.varGlobalDataArray.row(i).PulsesThisInterval);
        return p;
    };
    EXPECT_NE(series(), series()) << "two presses differ";

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
