// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary text as a detection grid: the active-cell list, the component's acceptance check and one cell
// analysis of a small frame over the grid must agree with each other and never read outside the frame.
#include "FuzzServices.h"
#include "camera/CellAnalyser.h"
#include "camera/CellTable.h"
#include "camera/DetectionGrid.h"

#include <cstdint>
#include <vector>

namespace {
void checkCellOrder(const QList<GridCell>& cells)
{
    for (qsizetype i = 0; i < cells.size(); ++i) {
        check(cells[i].column >= 0 && cells[i].row >= 0);
        if (i > 0) {
            const GridCell& a = cells[i - 1];
            const GridCell& b = cells[i];
            check(a.row < b.row || (a.row == b.row && a.column < b.column));
        }
    }
}

void checkAcceptedGrid(const DetectionGrid& grid, const QList<GridCell>& cells)
{
    check(grid.columns() >= 1 && grid.columns() <= DetectionGrid::MaxDimension);
    check(grid.rows() >= 1 && grid.rows() <= DetectionGrid::MaxDimension);
    // Digits only: the cells the detector averages are exactly the grid's active cells.
    qsizetype active = 0;
    for (int r = 0; r < grid.rows(); ++r)
        for (int c = 0; c < grid.columns(); ++c)
            active += grid.isActive(c, r) ? 1 : 0;
    check(active == cells.size());
    for (const GridCell& cell : cells)
        check(grid.isActive(cell.column, cell.row));
    const QString display = grid.displayText();
    check(display.size() == qsizetype(grid.rows()) * (grid.columns() + 2));
    // The text rebuilt after an edit is accepted again with the same shape.
    DetectionGrid edited = grid;
    edited.setSensitivity(0, 0, 9);
    const DetectionGrid again = DetectionGrid::fromString(edited.text());
    check(again.accepted() && again.columns() == grid.columns() && again.rows() == grid.rows());
    check(again.sensitivity(0, 0) == 9);
}

void checkAnalysis(const DetectionGrid& grid, const uint8_t* data, size_t size)
{
    constexpr int Width = 23;
    constexpr int Height = 17;
    constexpr qsizetype Stride = Width * 4 + 8;
    std::vector<uchar> pixels(std::size_t(Stride * Height));
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = size ? data[i % size] : uchar(i);
    FrameView view;
    view.width = Width;
    view.height = Height;
    view.planes[0] = pixels.data();
    view.strides[0] = Stride;
    CellAnalyser analyser;
    analyser.setGrid(grid.columns(), grid.rows());
    analyser.setReduceNoise(size % 2 == 1);
    for (int pass = 0; pass < 3; ++pass) {
        const CellTable table = analyser.analyse(view);
        check(table.columns == grid.columns() && table.rows == grid.rows());
        check(table.rgb.size() == std::size_t(grid.columns()) * std::size_t(grid.rows()) * 3);
        const QString text = cellValuesText(table, grid, true, pass != 1, true);
        check(text.size() == qsizetype(grid.rows()) * (qsizetype(grid.columns()) * 4 + 2));
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QList<GridCell> cells{{7, 7}};
    const bool any = parse_grid_string(text, cells);
    check(any == !cells.isEmpty());
    checkCellOrder(cells);

    const DetectionGrid grid = DetectionGrid::fromString(text);
    if (!grid.accepted())
        return 0;
    checkAcceptedGrid(grid, cells);
    checkAnalysis(grid, data, size);
    return 0;
}
