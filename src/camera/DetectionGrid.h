// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <vector>

struct GridCell
{
    int column = 0;
    int row = 0;
    bool operator==(const GridCell&) const = default;
};

// Rebuilds the active-cell list from a grid string (rows separated by single spaces, one character per cell,
// "0" inactive); true when at least one cell is active.
bool parse_grid_string(const QString& strpGridString, QList<GridCell>& varActiveCells);

// The geometry and sensitivities a grid string describes: as many rows as the string has, as many columns as
// its longest row; cells past the end of a shorter row are inactive.
class DetectionGrid
{
public:
    // Beyond this a cell is a few pixels wide and one frame's table would no longer be small.
    static constexpr int MaxDimension = 512;

    DetectionGrid() = default;
    // An accepted grid is non-empty, holds only digits and single-space row breaks and fits MaxDimension.
    static DetectionGrid fromString(const QString& text);

    bool accepted() const { return m_accepted; }
    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    // 0 = inactive, 1..9 sensitivity.
    int sensitivity(int column, int row) const;
    bool isActive(int column, int row) const { return sensitivity(column, row) > 0; }
    const QString& text() const { return m_text; }

    // One line per row, one digit per cell, CR LF after each line.
    QString displayText() const;

    // Rebuilds the string from the cells (rows padded to the full width).
    void setSensitivity(int column, int row, int value);

private:
    QString m_text;
    bool m_accepted = false;
    int m_columns = 0;
    int m_rows = 0;
    std::vector<char> m_cells; // row-major sensitivities
};
