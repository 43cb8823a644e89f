// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the trip and the logging screen both show of their run; each screen's display adds its own parts.
struct RunDisplay
{
    QString Text1;       // start time (the trip's last start or reset)
    QString Text3;       // seconds since then
    QString Text3a;      // the same as hours, minutes and seconds
    QString Text4;       // revolutions
    QString Text5;       // total energy
    QString Text6;       // total cost
    QString Text7;       // 5-minute average power
    QString Text8;       // 5-minute average cost per hour
    QString Text9;       // 1-hour average power
    QString Text10;      // 1-hour average cost per hour
    QString Text11;      // instantaneous power (the trip's less its baseline)
    QString Text12;      // instantaneous cost per hour (likewise)
    bool markOn = false; // Text2 is dark while the mark is seen
    QString Label22 = QStringLiteral("STATUS: STOPPED");

    // Under the figures while the disc is overdue: the cap on the power now (see PowerBound). Empty otherwise and
    // while the run is stopped, since a stopped screen no longer follows the time.
    QString powerNow;
    // With two tariffs, the one in force and its price (see TariffText); empty with one and while stopped.
    QString tariff;

    // Unit captions, taken from the settings when the screen loads.
    QString Label5;
    QString currencyTitle;
    QString powerTitle;

    bool startEnabled = true;
    bool stopEnabled = false;
    bool timerEnabled = false;
    int timerIntervalMilliseconds = 200;

    // Empties the figure boxes, Text1 to Text12, the line under them and the tariff.
    void clearFigures()
    {
        for (QString* text : {&Text1, &Text3, &Text3a, &Text4, &Text5, &Text6, &Text7, &Text8, &Text9, &Text10, &Text11,
                              &Text12, &powerNow, &tariff})
            text->clear();
    }
};
