// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the mark detector needs from whatever measures the cells: one value per channel and cell of the
// last analysed frame, and the text of those values for the live grid display.
class CellValueSource
{
public:
    virtual ~CellValueSource() = default;
    // channel 0 red, 1 green, 2 blue; column and row 0-based. 0..255, larger = brighter; 0 outside the grid.
    virtual int cellValue(int channel, int column, int row) const = 0;
    virtual QString currentCellValuesText() const = 0;
    // When the last analysed frame was taken, on the program clock; negative when the source cannot tell,
    // and the frame then counts as taken when it is handled.
    virtual double frameTime() const { return -1.0; }
};
