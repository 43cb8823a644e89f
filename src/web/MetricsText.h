// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

struct MeterReading;
struct MeterTotals;

// The meter in Prometheus' text format (version 0.0.4): the power as a gauge in watts, the revolutions and the
// energy counted since start as counters each way, the meter's reading as a gauge in joules, the camera's state
// one series per state, and the build. What is unknown (the power while the camera does not count, the reading
// before it is set) is left out rather than sent as a guess.
QByteArray MetricsText(const MeterReading& state, const MeterTotals& totals, bool countsDirection,
                       const QString& version);
