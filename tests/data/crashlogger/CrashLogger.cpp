// SPDX-License-Identifier: GPL-3.0-or-later
// crash_logger FOLDER BACKUP_SECONDS [METER_READING]: logs into FOLDER on a clock that moves one second per
// tick, with a record every second and a backup every BACKUP_SECONDS (0: after every record), until it is
// killed. Prints "started" once logging runs. With METER_READING, the meter reading is set to it for the
// simulated meter, a revolution comes every tick and moves it at the constant and price crashLoggerRevsPerKWh and
// crashLoggerPrice give, and the revolutions counted into it are printed after each one. Notes the run as the
// program does for a resume.
#include "support/CrashLogger.h"

#include "metering/LogEvent.h"
#include "metering/LoggingEngine.h"
#include "metering/MeterReadingStore.h"
#include "metering/PulseSignal.h"
#include "support/TestContext.h"
#include "unattended/RunMarker.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <optional>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bool valid = argc == 3 || argc == 4;
    const int backupSeconds = valid ? QByteArray(argv[2]).toInt(&valid) : 0;
    if (!valid) {
        std::fprintf(stderr, "usage: %s FOLDER BACKUP_SECONDS [METER_READING]\n", argv[0]);
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
    const MeterSource meter{MeterSource::Kind::SimulatedMeter, {}};
    // A small file limit, so that kills also hit rewrites.
    std::optional<MeterReadingStore> reading;
    if (argc == 4) {
        reading.emplace(ctx, 2000);
        reading->load();
        if (!reading->setReading(QByteArray(argv[3]).toDouble(), meter).isEmpty())
            return 1;
    }
    std::printf("started\n");
    std::fflush(stdout);

    for (qint64 tick = 1;; ++tick) {
        t.clock.advance(1.0);
        if (reading) {
            const qint64 next = reading->reading().revolutions + 1;
            std::tie(ctx.settings.REVS_PER_KWH, ctx.settings.COST_PER_KWH) =
                std::tuple(crashLoggerRevsPerKWh(next), crashLoggerPrice(next));
            RegisterPulse(ctx, static_cast<qint32>(tick % 5000), ctx.services.clock.timer(), meter);
            std::printf("%lld\n", static_cast<long long>(reading->reading().revolutions));
            std::fflush(stdout);
            reading->tick();
            // A pause between revolutions, so that a kill is as likely between the disk's writes as during one.
            QThread::msleep(1);
        } else if (tick % 3 == 0) {
            RegisterPulse(ctx, static_cast<qint32>(tick % 5000));
        }
        if (tick % 7 == 0)
            ctx.strGlobalUserComment = CleanTypedComment(ctx, QStringLiteral("tick %1, with a comma").arg(tick));
        engine.tick();
        if (ctx.loggingFiles.blnGlobalDiskBackupFailed) {
            std::fprintf(stderr, "backup failed\n");
            return 1;
        }
    }
}
