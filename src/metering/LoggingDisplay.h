// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the logging screen shows; the widget renders it and nothing else.
struct LoggingDisplay
{
    QString Text1;  // start time
    QString Text3;  // seconds since start
    QString Text3a; // the same as hours, minutes and seconds
    QString Text4;  // revolutions since start
    QString Text5;  // total energy
    QString Text6;  // total cost
    QString Text7;  // 5-minute average power
    QString Text8;  // 5-minute average cost per hour
    QString Text9;  // 1-hour average power
    QString Text10; // 1-hour average cost per hour
    QString Text11; // instantaneous power
    QString Text12; // instantaneous cost per hour
    QString Text13; // camera status
    bool markOn = false; // Text2 is dark while the mark is seen
    QString Label22;     // "STATUS: RUNNING" / "STATUS: STOPPED"
    QString WriteStatus; // "Writing data to disk" while a backup runs

    // Unit captions, taken from the settings when the screen loads.
    QString Label5;
    QString currencyTitle;
    QString powerTitle;

    bool startEnabled = true;
    bool stopEnabled = false;
    bool addCommentEnabled = false;
    bool timerEnabled = false;
    int timerIntervalMilliseconds = 200;
};
