// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/ProgressReport.h"

#include <QDateTime>
#include <QString>

struct MeteringContext;

// Writes the records in memory (rows 1 to pointer - 1) as a header line and record lines. Returns the
// error text, empty on success.
QString write_export_file(MeteringContext& ctx, const QString& fileName, const ProgressReport& progress = {});

// "Log" + year month day + "T" + hour minute second, plain decimal numbers.
QString defaultExportFileName(const QDateTime& now);

// The whole export as the export window runs it: questions, dialog, writing, error box.
// Returns true when a file was written without error.
bool export_logged_data(MeteringContext& ctx, const FormHooks& hooks);
