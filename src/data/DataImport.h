// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/ProgressReport.h"

#include <QDateTime>
#include <QString>

struct MeteringContext;

// What a read loaded: how many records, and the times of the first and the last.
struct ReadSummary
{
    qint32 records = 0;
    QDateTime first;
    QDateTime last;
    qint64 recordBytes = 0; // resuming only: the length of every record read, written out again
};

enum class ReadPurpose
{
    // Imports and reloads read the values of a record line (its first 20 fields) and leave the comment and
    // anything after it out; a file with more records than the table holds is an error.
    Loading,
    // A resumed run reads its own backup, whose every line has exactly 21 fields (fewer or more is a damaged
    // line), takes its comments back, so its data set stays the same as its backup, and keeps the newest
    // records as the table did while the run logged (a run of weeks outgrows it).
    Resuming
};

// Reads a data file (header line, then record lines) into the data array from row 1, moving the pointer
// after each record stored. Returns the error text, empty on success; a line that is not a record ends the
// read with "Couldn't read data from file" and a second line naming the file's line and what is wrong.
QString read_data_file(MeteringContext& ctx, const QString& fileName, const ProgressReport& progress = {},
                       ReadSummary* summary = nullptr, ReadPurpose purpose = ReadPurpose::Loading);

// The import and the previous-run reload as their windows run them: questions, reading, outcome box.
// Each returns true when records were read without error.
bool import_logged_data(MeteringContext& ctx, const FormHooks& hooks);
bool reload_previous_run(MeteringContext& ctx, const FormHooks& hooks);

inline const QString ReloadWhileLoggingText = QStringLiteral(
    "Previous run data can't be loaded while logging is running, because the disk backup is being written. "
    "Please stop logging first.");
