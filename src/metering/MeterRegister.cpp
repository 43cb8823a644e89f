// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/MeterRegister.h"

#include <cmath>

QString AccuracyCheck::text(const QLocale& locale) const
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    auto twoPlaces = [&plain](double value) { return plain.toString(value, 'f', 2); };
    const double low = percentLow();
    const QString percent = twoPlaces(std::abs(low));
    const QString verdict = percent == twoPlaces(0.0)
                                ? QStringLiteral("counting agrees with the meter to 0.01 %")
                                : QStringLiteral("counting is %1 % %2").arg(percent, low > 0 ? "low" : "high");
    return QStringLiteral("Counted %1 kWh since %2; the meter advanced %3 kWh: %4")
        .arg(twoPlaces(countedKWh), locale.toString(since, QStringLiteral("d MMM yyyy HH:mm")), twoPlaces(advancedKWh),
             verdict);
}

void MeterRegister::setReading(double kWh, const MeterSource& from, const QDateTime& at, double costSoFar)
{
    set = true;
    source = from;
    setAt = at;
    countedAt = at;
    setKWh = kWh;
    closedKWh = kWh;
    carriedCost = closedCost = costSoFar;
    closeRun();
    carriedImportKWh = closedImportKWh;
    carriedExportKWh = closedExportKWh;
    revsPerKWh = 0.0;
    price = 0.0;
    revolutions = 0;
}

void MeterRegister::countRevolution(double revsPerKWhNow, double priceNow, const QDateTime& at, Turn turn,
                                    bool withFlows)
{
    // The energy each way starts from nothing: the run so far holds revolutions of unknown direction.
    const bool flowsBegin = withFlows && !flows;
    if (revsPerKWhNow != revsPerKWh || priceNow != price || flowsBegin) {
        closedKWh = kWh();
        closedCost = cost();
        closeRun();
        revsPerKWh = revsPerKWhNow;
        price = priceNow;
    }
    flows = flows || withFlows;
    const qint64 step = turn == Turn::Backward ? -1 : 1;
    runRevolutions += step;
    revolutions += step;
    runBackward += turn == Turn::Backward ? 1 : 0;
    countedAt = at;
}

void MeterRegister::closeRun()
{
    closedImportKWh = importedKWh();
    closedExportKWh = exportedKWh();
    runRevolutions = 0;
    runBackward = 0;
}

AccuracyCheck MeterRegister::check(double meterKWh, const QDateTime& at) const
{
    return AccuracyCheck{at, setAt, countedKWh(), meterKWh - setKWh};
}

void MeterRegister::addCheck(const AccuracyCheck& check)
{
    checks.push_back(check);
    if (checks.size() > CheckHistory)
        checks.erase(checks.begin(), checks.end() - CheckHistory);
}
