// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <optional>

struct AppContext;

// The note on disk that a logging run is going on. It is written when a run starts and removed when the
// Stop button ends it, so finding it at start-up means the last run ended without a stop: a crash, a power
// cut or a reboot. It holds the run's start time.
namespace RunMarker {

// Both return "" on success, otherwise the error text.
QString noteRunStarted(AppContext& ctx, const QDateTime& startTime);
QString noteRunStopped(AppContext& ctx);

// The start time of a run that did not stop; an invalid date-time when the note is there but unreadable.
// Nothing when no run is left unfinished.
std::optional<QDateTime> unfinishedRun(AppContext& ctx);

} // namespace RunMarker
