// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

struct MeteringContext;

// The texts of the fill-the-array window: interval T in minutes, number of records K, pulse ceiling M.
struct FillRequest
{
    QString intervalMinutes;
    QString records;
    QString maxPulses;
};

inline const QString FillWhileLoggingText = QStringLiteral("Sorry, you can't use this debug function is logging is on");

// Fills rows 1 to K with made-up records and leaves the pointer at K + 1. Returns the message to show
// instead when logging runs or a field is unusable (nothing is written then), empty on success.
// `onRow` (may be empty) hears each row number as it is written.
QString FillArray(MeteringContext& ctx, const FillRequest& request, const std::function<void(qint32)>& onRow = {});
