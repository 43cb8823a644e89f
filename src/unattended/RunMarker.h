// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <optional>

struct AppContext;
struct MeteringContext;

// The note on disk that a logging run is going on. It is written when a run starts and removed when the
// Stop button ends it, so finding it at start-up means the last run ended without a stop: a crash, a power
// cut or a reboot. It holds the run's start time and, when the disk backup there at the start belonged to
// an earlier run, a fingerprint of that file.
namespace RunMarker {

struct UnfinishedRun
{
    QDateTime start; // invalid when the note is there but unreadable
    // The fingerprint of the earlier run's backup, as the run found it; empty when there was none.
    QByteArray earlierBackup;
};

// Both return "" on success, otherwise the error text.
QString noteRunStarted(MeteringContext& ctx, const QDateTime& startTime);
QString noteRunStopped(AppContext& ctx);

// Nothing when no run is left unfinished.
std::optional<UnfinishedRun> unfinishedRun(AppContext& ctx);

// The size and a hash of the end of the disk backup; empty when there is no backup. A file that was
// appended to or written anew since has another one.
QByteArray backupFingerprint(AppContext& ctx);

} // namespace RunMarker
