// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/ProgressReport.h"

#include <QString>

struct MeteringContext;
struct LogRecord;
class GeneralDateFormat;

enum class CommentSlot
{
    Cleared, // imports and reloads leave comments out
    Kept     // a resumed run takes its comments back, so its data set stays the same as its backup
};

// Reads a data file (header line, then record lines) into the data array from row 1, moving the pointer
// after each record stored. Returns the error text, empty on success.
QString read_data_file(MeteringContext& ctx, const QString& fileName, const ProgressReport& progress = {},
                       CommentSlot comments = CommentSlot::Cleared);

// Converts fields 1 to 20 of one record line into a fresh record (slots 21 and 22 stay cleared).
// False when a field is missing, is not a number or date, or does not fit its slot.
bool parse_record_line(QStringView line, const QString& delimiter, QChar decimalPoint, const GeneralDateFormat& dates,
                       LogRecord& record);

// The import and the previous-run reload as their windows run them: questions, reading, outcome box.
// Each returns true when records were read without error.
bool import_logged_data(MeteringContext& ctx, const FormHooks& hooks);
bool reload_previous_run(MeteringContext& ctx, const FormHooks& hooks);

inline const QString ReloadWhileLoggingText = QStringLiteral(
    "Previous run data can't be loaded while logging is running, because the disk backup is being written. "
    "Please stop logging first.");
