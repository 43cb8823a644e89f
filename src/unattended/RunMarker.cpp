// SPDX-License-Identifier: GPL-3.0-or-later
#include "unattended/RunMarker.h"

#include "app/FileIo.h"
#include "metering/MeteringContext.h"

#include <QCryptographicHash>
#include <algorithm>

namespace RunMarker {

namespace {

// Far more than the last record line, so a file written anew hashes differently even at the same size.
constexpr qint64 FingerprintedBytes = 4096;

} // namespace

QString noteRunStarted(MeteringContext& ctx, const QDateTime& startTime)
{
    QByteArray note = startTime.toString(Qt::ISODate).toLatin1() + "\r\n";
    // A run that carries on in its own backup (a resumed one) has no earlier run's file to tell apart.
    if (ctx.loggingFiles.blnGlobalBackupFileIsNew) {
        const QByteArray earlier = backupFingerprint(ctx);
        if (!earlier.isEmpty())
            note += earlier + "\r\n";
    }
    FileIo& files = ctx.services.files;
    auto file = files.open(ctx.paths.loggingRun, FileIo::Mode::Truncate, FileIo::Commit::Atomic);
    if (!file)
        return QStringLiteral("Couldn't open the file for writing\r\n");
    if (!file->write(note))
        return QStringLiteral("Couldn't write data to file\r\n");
    return file->close() ? QString() : QStringLiteral("Couldn't close the file\r\n");
}

QString noteRunStopped(AppContext& ctx)
{
    FileIo& files = ctx.services.files;
    // A marker back after a power cut would resume a run that was stopped.
    if (!files.exists(ctx.paths.loggingRun) || files.remove(ctx.paths.loggingRun, FileIo::Removal::Lasting))
        return QString();
    return QStringLiteral("Couldn't delete control file\r\n");
}

std::optional<UnfinishedRun> unfinishedRun(AppContext& ctx)
{
    FileIo& files = ctx.services.files;
    if (!files.exists(ctx.paths.loggingRun))
        return std::nullopt;
    UnfinishedRun run;
    QByteArray line;
    auto file = files.open(ctx.paths.loggingRun, FileIo::Mode::Read);
    if (!file || !file->readLine(line))
        return run;
    run.start = QDateTime::fromString(QString::fromLatin1(line.trimmed()), Qt::ISODate);
    // A note written before the fingerprint was kept has only the start.
    if (file->readLine(line))
        run.earlierBackup = line.trimmed();
    file->close();
    return run;
}

QByteArray backupFingerprint(AppContext& ctx)
{
    FileIo& files = ctx.services.files;
    const QString& path = ctx.paths.dataStore;
    if (!files.exists(path))
        return {};
    const qint64 size = files.size(path);
    const QByteArray end = files.tail(path, std::min(size, FingerprintedBytes));
    return QByteArray::number(size) + ' ' + QCryptographicHash::hash(end, QCryptographicHash::Sha256).toHex();
}

} // namespace RunMarker
