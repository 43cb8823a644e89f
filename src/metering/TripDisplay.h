// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the trip screen shows; the widget renders it and nothing else.
struct TripDisplay
{
    QString Text1;       // time of the last start or reset
    QString Text3;       // seconds since then
    QString Text3a;      // the same as hours, minutes and seconds
    QString Text4;       // revolutions
    QString Text5;       // total energy
    QString Text6;       // total cost
    QString Text7;       // 5-minute average power
    QString Text8;       // 5-minute average cost per hour
    QString Text9;       // 1-hour average power
    QString Text10;      // 1-hour average cost per hour
    QString Text11;      // instantaneous power less the baseline
    QString Text12;      // instantaneous cost per hour less the baseline
    bool markOn = false; // Text2 is dark while the mark is seen
    QString Label22 = QStringLiteral("STATUS: STOPPED");
    QString baselineCaption = QStringLiteral("Set Baseline");

    // Unit captions, taken from the settings when the screen loads.
    QString Label5;
    QString currencyTitle;
    QString powerTitle;

    bool startEnabled = true;
    bool stopEnabled = false;
    bool resetEnabled = false;
    bool timerEnabled = false;
    int timerIntervalMilliseconds = 200;
};
