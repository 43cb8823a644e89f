// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "metering/RunDisplay.h"

// What the logging screen shows; the widget renders it and nothing else.
struct LoggingDisplay : RunDisplay
{
    QString Text13;      // camera status
    QString WriteStatus; // "Writing data to disk" while a backup runs
    bool addCommentEnabled = false;
};
