// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "unattended/RunMarker.h"

#include <QString>

struct MeteringContext;
class LoggingEngine;

struct ResumeOutcome
{
    bool resumed = false;
    // What the user should be told (also when the run was resumed with something missing); empty when
    // everything went as planned.
    QString message;
};

// "Resumed after restart; gap HH:MM:SS", hours growing beyond two digits when needed.
QString ResumeComment(qint64 gapSeconds);

// Continues the interrupted logging run that the run marker names: reads its disk backup back into the
// data array (comments too), cuts off a record line the interruption left unfinished, and resumes the
// engine so that new records follow the last one in the same backup file.
//
// A backup that another run wrote (its first record started elsewhen, or it is still the file an earlier run
// left when this one started) is kept untouched under a name of its own, DATASTOR-<its start>.DTA, and the
// interrupted run, which had backed up nothing yet, goes on from its start in a new DATASTOR.DTA; so does a
// run with no backup at all. Resuming is refused, with nothing changed on disk and no records in memory,
// when the backup is not written at all, cannot be read whole, cannot lose its unfinished last line, or is
// an earlier run's that cannot be renamed.
ResumeOutcome resume_logging_run(MeteringContext& ctx, LoggingEngine& engine, const RunMarker::UnfinishedRun& run);
