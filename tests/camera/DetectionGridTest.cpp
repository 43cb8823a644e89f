// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/DetectionGrid.h"

#include "app/GlobalSettings.h"
#include "camera/CellTable.h"

#include <gtest/gtest.h>

namespace {
struct ParseCase
{
    const char* grid;
    bool result;
    QList<GridCell> cells;
};

class ParseGrid : public ::testing::TestWithParam<ParseCase>
{
};
} // namespace

TEST_P(ParseGrid, BuildsActiveCellsInStringOrder)
{
    const ParseCase c = GetParam();
    QList<GridCell> cells{{9, 9}}; // stale content must go
    EXPECT_EQ(parse_grid_string(QString::fromLatin1(c.grid), cells), c.result);
    EXPECT_EQ(cells, c.cells);
}

INSTANTIATE_TEST_SUITE_P(Cases, ParseGrid,
                         ::testing::Values(ParseCase{"", false, {}}, ParseCase{"    ", false, {}},
                                           ParseCase{"000 000", false, {}}, ParseCase{"1", true, {{0, 0}}},
                                           ParseCase{"  01 10  ", true, {{1, 0}, {0, 1}}},
                                           // two spaces make an empty row: the next row is numbered one higher
                                           ParseCase{"1  1", true, {{0, 0}, {0, 2}}},
                                           // ragged rows: a column is a position within its own row
                                           ParseCase{"0001 1 0009", true, {{3, 0}, {0, 1}, {3, 2}}},
                                           // anything but "0" counts as active here
                                           ParseCase{"x0", true, {{0, 0}}}));

TEST(ParseGrid, FactoryGridHasAllHundredCells)
{
    QList<GridCell> cells;
    EXPECT_TRUE(parse_grid_string(SettingsDefaults::DefaultGrid, cells));
    ASSERT_EQ(cells.size(), 100);
    EXPECT_EQ(cells.front(), (GridCell{0, 0}));
    EXPECT_EQ(cells[11], (GridCell{1, 1}));
    EXPECT_EQ(cells.back(), (GridCell{9, 9}));
}

TEST(DetectionGrid, AcceptsDigitGridsOnly)
{
    EXPECT_TRUE(DetectionGrid::fromString(QStringLiteral("00 0")).accepted()); // no active cell is still a grid
    EXPECT_TRUE(DetectionGrid::fromString(QStringLiteral(" 12  3 ")).accepted());
    EXPECT_FALSE(DetectionGrid::fromString(QString()).accepted());
    EXPECT_FALSE(DetectionGrid::fromString(QStringLiteral("   ")).accepted());
    EXPECT_FALSE(DetectionGrid::fromString(QStringLiteral("12a")).accepted());
    EXPECT_FALSE(DetectionGrid::fromString(QStringLiteral("1\t1")).accepted());
    EXPECT_FALSE(DetectionGrid::fromString(QString(DetectionGrid::MaxDimension + 1, u'5')).accepted());
    EXPECT_TRUE(DetectionGrid::fromString(QString(DetectionGrid::MaxDimension, u'5')).accepted());
}

TEST(DetectionGrid, RaggedRowsMakeARectangleWithInactivePadding)
{
    const DetectionGrid g = DetectionGrid::fromString(QStringLiteral("123 9  45"));
    ASSERT_TRUE(g.accepted());
    EXPECT_EQ(g.columns(), 3);
    EXPECT_EQ(g.rows(), 4);
    EXPECT_EQ(g.sensitivity(2, 0), 3);
    EXPECT_EQ(g.sensitivity(0, 1), 9);
    EXPECT_FALSE(g.isActive(1, 1));
    EXPECT_FALSE(g.isActive(0, 2));
    EXPECT_EQ(g.sensitivity(1, 3), 5);
    EXPECT_EQ(g.displayText(), QStringLiteral("123\r\n900\r\n000\r\n450\r\n"));
}

TEST(DetectionGrid, EditedCellRewritesTheString)
{
    DetectionGrid g = DetectionGrid::fromString(QStringLiteral("55 5"));
    g.setSensitivity(1, 1, 9);
    g.setSensitivity(0, 0, 0);
    EXPECT_EQ(g.text(), QStringLiteral("05 59"));
    QList<GridCell> cells;
    parse_grid_string(g.text(), cells);
    EXPECT_EQ(cells, (QList<GridCell>{{1, 0}, {0, 1}, {1, 1}}));
}

TEST(CellValuesText, FixedWidthMatrixOfComparedChannels)
{
    const DetectionGrid g = DetectionGrid::fromString(QStringLiteral("10 01"));
    CellTable t{2, 2, {10, 20, 30, 0, 0, 0, 0, 0, 0, 255, 254, 1}};
    EXPECT_EQ(cellValuesText(t, g, true, true, true), QStringLiteral("  20   .\r\n   . 170\r\n"));
    EXPECT_EQ(cellValuesText(t, g, false, false, true), QStringLiteral("  30   .\r\n   .   1\r\n"));
    EXPECT_EQ(cellValuesText(t, g, false, false, false), QStringLiteral("   .   .\r\n   .   .\r\n"));
}
