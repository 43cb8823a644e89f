// SPDX-License-Identifier: GPL-3.0-or-later
// crash_logger FOLDER BACKUP_SECONDS: logs into FOLDER on a clock that moves one second per tick, with a record
// every second and a backup every BACKUP_SECONDS (0: after every record), until it is killed. Prints "started" once
// logging runs. Notes the run as the program does for a resume.
#include "support/CrashLogger.h"

#include "metering/LogEvent.h"
#include "metering/LoggingEngine.h"
#include "metering/PulseSignal.h"
#include "support/TestContext.h"
#include "unattended/RunMarker.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bool valid = argc == 3;
    const int backupSeconds = valid ? QByteArray(argv[2]).toInt(&valid) : 0;
    if (!valid) {
        std::fprintf(stderr, "usage: %s FOLDER BACKUP_SECONDS\n", argv[0]);
        return 2;
    }
    TestContext t;
    MeteringContext& ctx = t.ctx;
    ctx.paths = BuildFilePaths(QString::fromLocal8Bit(argv[1]));
    std::tie(ctx.settings.LOGGING_INTERVAL_SECONDS, ctx.settings.ARRAY_WRITE_INTERVAL_SECONDS,
             ctx.settings.DATA_ARRAY_LENGTH) = std::tuple(1, backupSeconds, 10'000'000);
    InitialiseDataArray(ctx);
    ctx.blnGlobalCameraRunning = true;

    LoggingEngine engine(ctx);
    QObject::connect(&engine, &LoggingEngine::runStarted,
                     [&ctx](const QDateTime& start) { RunMarker::noteRunStarted(ctx, start); });
    engine.load();
    if (!engine.startButton()) {
        std::fprintf(stderr, "logging did not start\n");
        return 1;
    }
    std::printf("started\n");
    std::fflush(stdout);

    for (qint64 tick = 1;; ++tick) {
        t.clock.advance(1.0);
        if (tick % 3 == 0)
            RegisterPulse(ctx, static_cast<qint32>(tick % 5000));
        if (tick % 7 == 0)
            ctx.strGlobalUserComment = CleanTypedComment(ctx, QStringLiteral("tick %1, with a comma").arg(tick));
        engine.tick();
        if (ctx.loggingFiles.blnGlobalDiskBackupFailed) {
            std::fprintf(stderr, "backup failed\n");
            return 1;
        }
    }
}
