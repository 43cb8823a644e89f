// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/DetectionGrid.h"

#include <QRectF>

class QPainter;

// Draws the detection grid over a picture filling `area`: active cells lightly tinted by sensitivity, the lines, and
// the outline of the active area.
// The live view and the picture sent to the broker draw it alike.
void paintDetectionGrid(QPainter& painter, const QRectF& area, const DetectionGrid& grid);
