// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

struct GlobalSettings;

// The nearest whole number, halves to even, saturated to 32 bits: how intensities, levels and times are rounded for
// the detector, so that no product or tracked level wraps.
qint32 roundedHalfEven(double x);
// The image intensity of a cell average: factor / (average + 1), or factor x average when inverted.
qint32 scaledIntensity(qint32 factor, bool invert, qint32 average);
// The intensity a present mark must fall below to end: `percent` of the trigger level, the trigger itself at 100.
// A release below the trigger keeps noise on a slowly passing mark's edge from ending and starting it again.
qint32 releaseLevel(qint32 trigger, qint32 percent);
// TRIGGER_LEVEL as the light now stands, `light` times the plain disc's at the start: with LEVELS_FOLLOW_LIGHT on,
// the image intensity falls as the light rises, or rises with it when inverted.
qint32 followedTrigger(const GlobalSettings& s, double light);
