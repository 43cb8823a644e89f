// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/CellTable.h"

#include "camera/DetectionGrid.h"

#include <cmath>

QString cellValuesText(const CellTable& table, const DetectionGrid& grid, bool red, bool green, bool blue)
{
    const int channels = int(red) + int(green) + int(blue);
    QString out;
    out.reserve(grid.rows() * (grid.columns() * 4 + 2));
    for (int r = 0; r < grid.rows(); ++r) {
        for (int c = 0; c < grid.columns(); ++c) {
            if (!grid.isActive(c, r) || channels == 0) {
                out += QStringLiteral("   .");
                continue;
            }
            const int sum = (red ? table.value(0, c, r) : 0) + (green ? table.value(1, c, r) : 0) +
                            (blue ? table.value(2, c, r) : 0);
            out += QStringLiteral("%1").arg(int(std::nearbyint(double(sum) / channels)), 4);
        }
        out += QStringLiteral("\r\n");
    }
    return out;
}
