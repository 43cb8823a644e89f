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
    revsPerKWh = 0.0;
    price = 0.0;
    runRevolutions = 0;
    revolutions = 0;
}

void MeterRegister::countRevolution(double revsPerKWhNow, double priceNow, const QDateTime& at)
{
    if (revsPerKWhNow != revsPerKWh || priceNow != price) {
        closedKWh = kWh();
        closedCost = cost();
        revsPerKWh = revsPerKWhNow;
        price = priceNow;
        runRevolutions = 0;
    }
    runRevolutions += 1;
    revolutions += 1;
    countedAt = at;
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
