// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "metering/LogRecord.h"

#include <QDateTime>
#include <QString>
#include <optional>

struct MeteringContext;

// The disk backup a logging run left behind, which a new run must never write over.

// The backup's first record, when its second line reads as one (the first is the header).
std::optional<LogRecord> FirstBackupRecord(MeteringContext& ctx);
// When the run that logged this record started.
QDateTime RunStart(const LogRecord& record);
// Renames the backup beside it after its run's start (DATASTOR-yyyy-MM-dd-HHmmss.DTA, then -2, -3 ...), never
// over a file there; the new file name, or empty when it could not be renamed.
QString KeepEarlierBackup(MeteringContext& ctx, const QDateTime& start);
