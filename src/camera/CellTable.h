// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>
#include <QString>
#include <QtGlobal>
#include <vector>

class DetectionGrid;

// The per-cell channel means of one analysed frame: the only thing that crosses from the capture thread.
struct CellTable
{
    int columns = 0;
    int rows = 0;
    std::vector<quint8> rgb; // 3 per cell, row-major: red, green, blue means 0..255

    bool isEmpty() const { return columns == 0 || rows == 0; }
    int value(int channel, int column, int row) const
    {
        if (channel < 0 || channel > 2 || column < 0 || row < 0 || column >= columns || row >= rows)
            return 0;
        return rgb[(std::size_t(row) * std::size_t(columns) + std::size_t(column)) * 3 + std::size_t(channel)];
    }
};
Q_DECLARE_METATYPE(CellTable)

// Fixed-width matrix of the mean of the compared channels per active cell ("  ." for inactive cells),
// one line per grid row, CR LF after each.
QString cellValuesText(const CellTable& table, const DetectionGrid& grid, bool red, bool green, bool blue);
