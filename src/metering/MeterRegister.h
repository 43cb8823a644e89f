// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/MeterSource.h"
#include "metering/PulseSignal.h"

#include <QDateTime>
#include <QLocale>
#include <vector>

// One accuracy check: what counting added since the reading was set beside what the meter itself advanced.
struct AccuracyCheck
{
    QDateTime at;
    QDateTime since; // when the reading was set
    double countedKWh = 0.0;
    double advancedKWh = 0.0; // always above 0

    // How much counting falls short of the meter, in percent of what the meter advanced (negative: over).
    double percentLow() const { return (advancedKWh - countedKWh) / advancedKWh * 100.0; }
    // "Counted 123.40 kWh since 1 Dec 2026 09:12; the meter advanced 124.00 kWh: counting is 0.48 % low".
    QString text(const QLocale& locale) const;
    bool operator==(const AccuracyCheck&) const = default;
};

// A register of the meter: the reading in kWh the user set for one source, advanced by every revolution counted
// from that source at the meter constant in force then, with the cost of those revolutions at the price in
// force then. Revolutions are kept per run of one constant and price, so a later change of either re-prices
// none of the earlier ones and the totals carry no rounding drift from adding tiny steps.
//
// A disc that turns backwards (COUNT_DIRECTION) takes its revolutions off, as the meter's own register does: the
// revolution counts are net and may fall below 0, and so is the cost, the cost of the net energy a net-metered home
// is billed for. The energy through the meter each way is kept beside it from the first revolution counted with
// its direction, so a meter that never counts it is kept as it always was.
struct MeterRegister
{
    static constexpr std::size_t CheckHistory = 10;

    bool set = false;
    MeterSource source;
    QDateTime setAt;
    double setKWh = 0.0;

    // The cost counted before the reading was last set or corrected, carried on: what the meter cost since the
    // reading was first set goes on across settings (and only grows unless the disc turns backwards), as its
    // consumers take it for a running total.
    double carriedCost = 0.0;
    // Everything before the present run of one meter constant and price, the set reading included.
    double closedKWh = 0.0;
    double closedCost = 0.0;
    // The present run: its meter constant (0 before the first revolution), price and revolutions.
    double revsPerKWh = 0.0;
    double price = 0.0;
    qint64 runRevolutions = 0;
    qint64 revolutions = 0; // since the reading was set
    QDateTime countedAt;    // the latest revolution, or when it was set

    // Energy imported and exported: counted once `flows` (from the first revolution counted with its direction),
    // only growing, carried across settings: at the last setting, before the present run, then the present run's
    // backward revolutions.
    bool flows = false;
    double carriedImportKWh = 0.0;
    double carriedExportKWh = 0.0;
    double closedImportKWh = 0.0;
    double closedExportKWh = 0.0;
    qint64 runBackward = 0;

    std::vector<AccuracyCheck> checks; // the latest CheckHistory, oldest first; kept across settings

    bool isSet() const { return set; }
    double kWh() const { return closedKWh + runKWh(runRevolutions); }
    // The cost of the revolutions counted since the reading was first set.
    double cost() const { return runRevolutions == 0 ? closedCost : closedCost + runRevolutions * price / revsPerKWh; }
    double countedKWh() const { return kWh() - setKWh; }
    double importedKWh() const { return flows ? closedImportKWh + runKWh(runRevolutions + runBackward) : 0.0; }
    double exportedKWh() const { return flows ? closedExportKWh + runKWh(runBackward) : 0.0; }

    // Starts again from kWh for the source, with the cost counted so far; the check history stays.
    void setReading(double kWh, const MeterSource& from, const QDateTime& at, double costSoFar);
    // `withFlows`: its direction was counted, so the energy each way is counted from now on.
    void countRevolution(double revsPerKWhNow, double priceNow, const QDateTime& at, Turn turn = Turn::Forward,
                         bool withFlows = false);
    // The check against what the meter shows, which must be above the reading it showed when set.
    AccuracyCheck check(double meterKWh, const QDateTime& at) const;
    void addCheck(const AccuracyCheck& check);

private:
    double runKWh(qint64 runCount) const { return runCount == 0 ? 0.0 : runCount / revsPerKWh; }
    void closeRun();
};
