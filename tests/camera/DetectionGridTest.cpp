// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/DetectionGrid.h"

#include "app/GlobalSettings.h"
#include "camera/CellTable.h"

#include <gtest/gtest.h>

TEST(ParseGrid, BuildsActiveCellsInStringOrder)
{
    const struct
    {
        const char* grid;
        bool result;
        QList<GridCell> cells;
    } cases[] = {{"", false, {}},
                 {"    ", false, {}},
                 {"000 000", false, {}},
                 {"  01 10  ", true, {{1, 0}, {0, 1}}},
                 // two spaces make an empty row: the next row is numbered one higher
                 {"1  1", true, {{0, 0}, {0, 2}}},
                 // ragged rows: a column is a position within its own row
                 {"0001 1 0009", true, {{3, 0}, {0, 1}, {3, 2}}},
                 // anything but "0" counts as active here
                 {"x0", true, {{0, 0}}}};
    for (const auto& c : cases) {
        QList<GridCell> cells{{9, 9}}; // stale content must go
        EXPECT_EQ(parse_grid_string(QString::fromLatin1(c.grid), cells), c.result) << c.grid;
        EXPECT_EQ(cells, c.cells) << c.grid;
    }
    QList<GridCell> cells;
    EXPECT_TRUE(parse_grid_string(SettingsDefaults::DefaultGrid, cells));
    EXPECT_EQ(cells.size(), 100);
}

TEST(DetectionGrid, AcceptsDigitGridsOnly)
{
    const std::pair<QString, bool> cases[] = {{QStringLiteral("00 0"), true}, // no active cell is still a grid
                                              {QStringLiteral(" 12  3 "), true},
                                              {QString(), false},
                                              {QStringLiteral("   "), false},
                                              {QStringLiteral("12a"), false},
                                              {QStringLiteral("1\t1"), false},
                                              {QString(DetectionGrid::MaxDimension, u'5'), true},
                                              {QString(DetectionGrid::MaxDimension + 1, u'5'), false}};
    for (const auto& [text, accepted] : cases)
        EXPECT_EQ(DetectionGrid::fromString(text).accepted(), accepted) << text.toStdString();
}

TEST(DetectionGrid, RaggedRowsArePaddedAndAnEditRewritesTheString)
{
    DetectionGrid g = DetectionGrid::fromString(QStringLiteral("123 9  45"));
    ASSERT_TRUE(g.accepted());
    EXPECT_EQ(g.columns(), 3);
    EXPECT_EQ(g.rows(), 4);
    EXPECT_EQ(g.sensitivity(0, 1), 9);
    EXPECT_FALSE(g.isActive(1, 1));
    EXPECT_EQ(g.displayText(), QStringLiteral("123\r\n900\r\n000\r\n450\r\n"));

    g = DetectionGrid::fromString(QStringLiteral("55 5"));
    g.setSensitivity(1, 1, 9);
    g.setSensitivity(0, 0, 0);
    EXPECT_EQ(g.text(), QStringLiteral("05 59"));
}

TEST(CellValuesText, FixedWidthMatrixOfComparedChannels)
{
    const DetectionGrid g = DetectionGrid::fromString(QStringLiteral("10 01"));
    CellTable t{2, 2, {10, 20, 30, 0, 0, 0, 0, 0, 0, 255, 254, 1}};
    EXPECT_EQ(cellValuesText(t, g, true, true, true), QStringLiteral("  20   .\r\n   . 170\r\n"));
    EXPECT_EQ(cellValuesText(t, g, false, false, true), QStringLiteral("  30   .\r\n   .   1\r\n"));
    EXPECT_EQ(cellValuesText(t, g, false, false, false), QStringLiteral("   .   .\r\n   .   .\r\n"));
}
