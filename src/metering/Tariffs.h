// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

struct GlobalSettings;
struct MeteringContext;

// Which tariff is in force. With one tariff (TARIFF_COUNT 1) always tariff 1 at COST_PER_KWH. With two, the last
// command when TARIFF_FROM_MQTT is set, the way a ripple-control receiver switches the meter; otherwise the schedule
// of TARIFF_2_HOURS and TARIFF_2_ALL_WEEKEND at the clock's local time.
qint16 TariffInForce(MeteringContext& ctx);
double TariffCostPerKWH(const GlobalSettings& s, int tariff);
QString TariffName(const GlobalSettings& s, int tariff);

// The tariff in force and its working price as the run screens show them beside their figures, e.g.
// "Night tariff: 5 Pence per KWH"; empty with one tariff.
QString TariffText(const MeteringContext& ctx);

// The utility's switch says tariff 1 or 2 is in force. It takes effect at the next minute update, as every working
// value does, and is kept in TARIFF.STATE through a restart. "" on success; otherwise why the command was refused
// (nothing changes) or, when the tariff was set but could not be kept, the writer's error.
QString setTariffFromCommand(MeteringContext& ctx, int tariff);
// Reads the tariff last set by command from TARIFF.STATE at start-up. A missing file means none was set yet (tariff
// 1). "" when the file was read or is missing; otherwise what was wrong with it, and tariff 1 until the next command.
QString LoadTariffState(MeteringContext& ctx);
