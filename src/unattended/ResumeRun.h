// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
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

// Continues the interrupted logging run: reads its disk backup back into the data array (comments too),
// cuts off a record line the interruption left unfinished, and resumes the engine so that new records
// follow the last one in the same backup file. `markedStart` is the start time the run marker noted.
//
// A backup that cannot be read whole is left untouched and logging is not resumed, so nothing on disk is
// lost; with no backup at all the run goes on from its start time with no earlier records.
ResumeOutcome resume_logging_run(MeteringContext& ctx, LoggingEngine& engine, const QDateTime& markedStart);
