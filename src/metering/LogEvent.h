// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

struct MeteringContext;
struct PulseState;

// Creates the data array with DATA_ARRAY_LENGTH rows at start-up. Storage grows only as records come, so a
// very large length costs nothing until it is used. The start-up stops and resets the trip and the logging
// engines right after it.
void InitialiseDataArray(MeteringContext& ctx);

// Writes one record of the logging interval that just ended into the data array and starts the next
// interval from nothing. All date and time slots come from one reading of the clock.
void DoWriteLogevent(MeteringContext& ctx);
// Zeroes the logging interval's counts.
void StartLoggingInterval(PulseState& p);

// A comment as the comment window stores it: each end-of-line string, then each field-delimiter string
// replaced by one space, then cut to its first 300 characters. Outer blanks stay (the writers trim them).
QString CleanUserComment(const MeteringContext& ctx, const QString& text);
constexpr int MaxUserCommentLength = 300;
// The comment with a note of the program's own after it ("comment; note"), cleaned as above.
QString WithNote(const MeteringContext& ctx, const QString& comment, const QString& note);
// The same for the text of the comment window's multi-line box: each line break there (LF, CR or CR LF)
// counts as one end-of-line string, so it becomes one space whatever the end-of-line setting and can never
// split a record line.
QString CleanTypedComment(const MeteringContext& ctx, const QString& typed);
