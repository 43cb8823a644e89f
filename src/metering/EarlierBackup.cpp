// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/EarlierBackup.h"

#include "app/FileIo.h"
#include "metering/MeteringContext.h"
#include "metering/RecordLine.h"

#include <QDir>
#include <QFileInfo>

namespace {
// Renamed copies of one run's backup tried before giving up.
constexpr int NamesTried = 100;
} // namespace

std::optional<LogRecord> FirstBackupRecord(MeteringContext& ctx)
{
    auto file = ctx.services.files.open(ctx.paths.dataStore, FileIo::Mode::Read);
    QByteArray header;
    QByteArray line;
    LogRecord record;
    const bool read = file && file->readLine(header) && file->readLine(line) &&
                      RecordLine(ctx).read(QString::fromLocal8Bit(line), record).isEmpty();
    if (file)
        file->close();
    return read ? std::optional(record) : std::nullopt;
}

QDateTime RunStart(const LogRecord& record)
{
    return record.DateTime.addSecs(-record.LoggingSeconds);
}

QString KeepEarlierBackup(MeteringContext& ctx, const QDateTime& start)
{
    FileIo& files = ctx.services.files;
    const QFileInfo backup(ctx.paths.dataStore);
    const QString stem = backup.completeBaseName() + start.toString(QStringLiteral("-yyyy-MM-dd-HHmmss"));
    for (int copy = 1; copy <= NamesTried; ++copy) {
        const QString name =
            (copy == 1 ? stem : stem + QStringLiteral("-%1").arg(copy)) + QLatin1Char('.') + backup.suffix();
        const QString path = backup.dir().filePath(name);
        if (!files.exists(path) && files.rename(ctx.paths.dataStore, path))
            return name;
    }
    return QString();
}
