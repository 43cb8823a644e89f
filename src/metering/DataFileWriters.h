// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

struct MeteringContext;

// The writers of the logging run's files. Each returns an error text: empty on success, otherwise the
// messages of what failed, each ended by CR LF. Every file operation goes through the retry rule.
//
// Records are named by their sequence number in the logging run (DataArray::firstSequence() ...), which
// equals the data-array row until the table wraps and then still names the same record, so a backup can
// follow the table across the wrap without skipping or repeating. The header goes directly before record 1.
// Records already overwritten in memory are skipped: they can no longer be written.

// The record lines of records first..last; overwrite true creates or empties the file, false appends
// (creating it when missing).
QString write_data_file(MeteringContext& ctx, const QString& file, qint64 firstRecord, qint64 lastRecord,
                        bool overwrite);
// The same lines, always appended, inside the control-file protocol.
QString write_diff_file(MeteringContext& ctx, const QString& file, qint64 firstRecord, qint64 lastRecord,
                        const QString& controlFile);
// Replaces the live file with its header and one line of the latest figures, inside the control-file
// protocol. The new content replaces the old atomically, so even a reader that ignores the control file
// never sees half a line.
QString write_live_file(MeteringContext& ctx, const QString& strpFileToWrite, const QString& strpControlFile);
