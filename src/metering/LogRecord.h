// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// One logged interval: the 22 slots of a data-array row, typed. Field names are the column names.
struct LogRecord
{
    QDateTime DateTime;                      // slot 1
    qint16 Year = 0;                         // 2
    qint16 Month = 0;                        // 3
    qint16 Day = 0;                          // 4
    qint16 Hour = 0;                         // 5
    qint16 Min = 0;                          // 6
    qint16 Sec = 0;                          // 7
    qint32 PulsesThisInterval = 0;           // 8
    double TotalEnergy = 0.0;                // 9
    double TotalCost = 0.0;                  // 10
    qint32 LoggingSeconds = 0;               // 11
    qint32 LoggingTotalPulse = 0;            // 12
    double EnergyThisInterval = 0.0;         // 13
    double CostThisInterval = 0.0;           // 14
    double AvgPowerThisInterval = 0.0;       // 15
    double AvgCostPerHourThisInterval = 0.0; // 16
    double REVSperEnergyUnit = 0.0;          // 17
    double CostPerEnergyUnit = 0.0;          // 18
    qint16 TarrifNumber = 0;                 // 19
    qint32 LightLevel = 0;                   // 20
    bool Slot21 = false;                     // 21: never written to any file
    QString UserComment;                     // 22

    bool operator==(const LogRecord&) const = default;

    // Slot 1 and the six date and time parts taken from it, so they always agree.
    void setDateTime(const QDateTime& when)
    {
        DateTime = when;
        const QDate d = when.date();
        const QTime t = when.time();
        Year = static_cast<qint16>(d.year());
        Month = static_cast<qint16>(d.month());
        Day = static_cast<qint16>(d.day());
        Hour = static_cast<qint16>(t.hour());
        Min = static_cast<qint16>(t.minute());
        Sec = static_cast<qint16>(t.second());
    }
};
