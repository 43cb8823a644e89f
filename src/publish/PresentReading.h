// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publish/PublishPayloads.h"

struct MeteringContext;
struct MeterTotals;
class MeterReadingStore;
class RegisterWatch;

// What the meter's state says now, the same for the broker's state message, the web page and its metrics. While
// the camera does not count, the power is unknown (it may miss revolutions); while the disc is overdue it is the
// falling cap (PowerBound). Energy, reading, cost and power take every revolution at the meter constant and price in
// force when it was counted. watch: none where the register is never read.
MeterReading PresentReading(MeteringContext& ctx, const MeterTotals& totals, const MeterReadingStore& reading,
                            const RegisterWatch* watch);
