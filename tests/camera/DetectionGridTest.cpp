// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/DetectionGrid.h"

#include "camera/CellTable.h"
#include "camera/IntensityHistory.h"

#include <gtest/gtest.h>

TEST(DetectionGrid, TakesDigitGridsOnlyBuildsActiveCellsInStringOrderAndPadsRaggedRows)
{
    const std::tuple<const char*, bool, QList<GridCell>> cases[] = {
        {"", false, {}},
        {"000 000", false, {}},
        {"  01 10  ", true, {{1, 0}, {0, 1}}},
        // two spaces make an empty row: the next row is numbered one higher
        {"1  1", true, {{0, 0}, {0, 2}}},
        // ragged rows: a column is a position within its own row
        {"0001 1 0009", true, {{3, 0}, {0, 1}, {3, 2}}},
        // anything but "0" counts as active here
        {"x0", true, {{0, 0}}}};
    for (const auto& [grid, result, expected] : cases) {
        QList<GridCell> cells{{9, 9}}; // stale content must go
        EXPECT_EQ(parse_grid_string(QString::fromLatin1(grid), cells), result) << grid;
        EXPECT_EQ(cells, expected) << grid;
    }

    const QString longest(DetectionGrid::MaxDimension, u'5');
    // No active cell is still a grid.
    for (const QString& text : {QStringLiteral("00 0"), QStringLiteral(" 12  3 "), longest})
        EXPECT_TRUE(DetectionGrid::fromString(text).accepted()) << text.toStdString();
    for (const QString& text :
         {QString(), QStringLiteral("   "), QStringLiteral("12a"), QStringLiteral("1\t1"), longest + u'5'})
        EXPECT_FALSE(DetectionGrid::fromString(text).accepted()) << text.toStdString();

    // Ragged rows are padded; an edit rewrites the string.
    DetectionGrid g = DetectionGrid::fromString(QStringLiteral("123 9  45"));
    ASSERT_TRUE(g.accepted());
    EXPECT_EQ(std::tuple(g.columns(), g.rows(), g.sensitivity(0, 1), g.isActive(1, 1)), std::tuple(3, 4, 9, false));
    EXPECT_EQ(g.displayText(), QStringLiteral("123\r\n900\r\n000\r\n450\r\n"));

    g = DetectionGrid::fromString(QStringLiteral("55 5"));
    g.setSensitivity(1, 1, 9);
    g.setSensitivity(0, 0, 0);
    EXPECT_EQ(g.text(), QStringLiteral("05 59"));

    // The cell values: a fixed-width matrix of the compared channels, single channels being driven through the
    // capture component's compare switches.
    g = DetectionGrid::fromString(QStringLiteral("10 01"));
    CellTable t{2, 2, {10, 20, 30, 0, 0, 0, 0, 0, 0, 255, 254, 1}};
    EXPECT_EQ(cellValuesText(t, g, true, true, true), QStringLiteral("  20   .\r\n   . 170\r\n"));
    EXPECT_EQ(cellValuesText(t, g, false, false, false), QStringLiteral("   .   .\r\n   .   .\r\n"));
}

TEST(IntensityHistory, KeepsTheWindowBeforeTheNewestSampleAcrossMidnightAndColumnsHoldTheirRange)
{
    IntensityHistory h(30.0);
    // Window 0..30 s in three 10-second columns; the sample 30 s before the newest stays.
    const std::tuple<double, qint32, bool> samples[] = {{86390.0, 1, false}, {0.0, 500, false},  {3.0, 900, true},
                                                        {9.9, 700, false},   {25.0, 1200, true}, {30.0, 1100, false}};
    for (const auto& [time, value, revolution] : samples)
        h.add(time, value, revolution); // the first is 10 s before midnight: 40 s old at the end
    ASSERT_EQ(h.samples().size(), 5u);
    EXPECT_DOUBLE_EQ(h.samples()[1].time - h.samples()[0].time, 3.0);
    EXPECT_EQ(h.revolutions(), 2);
    const std::vector<IntensityHistory::Column> c = h.columns(3);
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(std::tuple(c[0].empty, c[0].low, c[0].high, c[0].revolution), std::tuple(false, 500, 900, true));
    EXPECT_TRUE(c[1].empty && !c[1].revolution);
    // The newest sample falls on the right edge and still belongs to the last column.
    EXPECT_EQ(std::tuple(c[2].low, c[2].high), std::tuple(1100, 1200));

    h.clear();
    h.add(10.0, 5, false); // earlier clock time than before the clear: no stale reference
    h.add(20.0, 6, false);
    ASSERT_EQ(h.samples().size(), 2u);
    EXPECT_DOUBLE_EQ(h.samples().back().time, 10.0);
}
