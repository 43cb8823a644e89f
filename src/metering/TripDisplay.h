// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "metering/RunDisplay.h"

// What the trip screen shows; the widget renders it and nothing else.
struct TripDisplay : RunDisplay
{
    QString baselineCaption = QStringLiteral("Set Baseline");
    bool resetEnabled = false;
};
