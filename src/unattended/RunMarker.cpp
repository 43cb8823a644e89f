// SPDX-License-Identifier: GPL-3.0-or-later
#include "unattended/RunMarker.h"

#include "app/AppContext.h"
#include "app/FileIo.h"

namespace RunMarker {

QString noteRunStarted(AppContext& ctx, const QDateTime& startTime)
{
    FileIo& files = ctx.services.files;
    auto file = files.open(ctx.paths.loggingRun, FileIo::Mode::Truncate, FileIo::Commit::Atomic);
    if (!file)
        return QStringLiteral("Couldn't open the file for writing\r\n");
    if (!file->write(startTime.toString(Qt::ISODate).toLatin1() + "\r\n"))
        return QStringLiteral("Couldn't write data to file\r\n");
    return file->close() ? QString() : QStringLiteral("Couldn't close the file\r\n");
}

QString noteRunStopped(AppContext& ctx)
{
    FileIo& files = ctx.services.files;
    if (!files.exists(ctx.paths.loggingRun) || files.remove(ctx.paths.loggingRun))
        return QString();
    return QStringLiteral("Couldn't delete control file\r\n");
}

std::optional<QDateTime> unfinishedRun(AppContext& ctx)
{
    FileIo& files = ctx.services.files;
    if (!files.exists(ctx.paths.loggingRun))
        return std::nullopt;
    QByteArray line;
    auto file = files.open(ctx.paths.loggingRun, FileIo::Mode::Read);
    if (!file || !file->readLine(line))
        return QDateTime();
    file->close();
    return QDateTime::fromString(QString::fromLatin1(line.trimmed()), Qt::ISODate);
}

} // namespace RunMarker
