// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MeterSource.h"
#include "metering/LoggingEngine.h"
#include "metering/MeterReadingStore.h"
#include "metering/PulseSignal.h"
#include "metering/RecordLine.h"
#include "metering/TripEngine.h"
#include "support/TestContext.h"

#include <QFileInfo>
#include <gtest/gtest.h>
#include <malloc.h>

namespace {

// The revolutions in each minute of the run, which starts at midnight: at 120 per kWh, 250 W, and 500 W in the last six
// hours.
int revolutionsIn(qint64 minute)
{
    return minute % 2 == 0 || minute % 1440 >= 1080 ? 1 : 0;
}

// Bytes allocated, in the heap and in blocks of their own.
qint64 memoryInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks + m.hblkhd);
}

// A year from 1 July 2027 in London: summer time ends and begins, 31 December and 29 February pass, the table of
// 10,000 records wraps ten times and the reading's journal is rewritten hundreds of times.
TEST(AYearOnTheFakeClock, EveryRevolutionIsInTheTotalsTheReadingAndItsRecordAndEveryRecordIsOnDiskOnce)
{
    const ScopedEnv london("TZ", "Europe/London");
    const ScopedEnv inMemory("TMPDIR", "/dev/shm"); // a sync a revolution: a year of them takes minutes on a disk
    TestContext t;
    ASSERT_TRUE(t.dir.isValid()) << "a folder in /dev/shm";
    // The test file system's bookkeeping of every operation would outweigh a year of them.
    DiskFileIo disk;
    MeteringContext ctx{Services{t.clock, t.pump, t.dialogs, disk}};
    t.copySettingsTo(ctx);
    GlobalSettings& s = ctx.settings;
    // No screen to refresh; a backup each half hour, as one each ten minutes would nearly double the run.
    std::tie(s.REVS_PER_KWH, s.LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS, s.TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS,
             s.ARRAY_WRITE_INTERVAL_SECONDS) = std::tuple(120, 600000, 600000, 1800);
    InitialiseDataArray(ctx);
    const QDateTime start(QDate(2027, 7, 1), QTime(0, 0)), end(QDate(2028, 7, 1), QTime(0, 0));
    t.clock.setNow(start);
    ctx.blnGlobalCameraRunning = true;
    const MeterSource camera{MeterSource::Kind::Camera, QStringLiteral("Hall camera")};
    TripEngine trip(ctx);
    LoggingEngine logging(ctx);
    MeterReadingStore store(ctx);
    ASSERT_EQ(store.load(), "");
    ASSERT_EQ(store.setReading(12345.6, camera), "");
    ASSERT_TRUE(logging.startButton());

    // Ticks once a minute, on the minute: the coarsest at which every minute is still closed on its own. The fake
    // timer follows the wall clock and jumps an hour at each change where the real one runs on; with every tick,
    // minute, record and backup due on the hour's grid, each tick decides as it would on a real machine. A trip runs
    // from 30 October into the new year only: its screen builds its date format anew at every revolution and minute,
    // which over a year takes a minute under the sanitizer.
    const qint64 minutes = start.secsTo(end) / 60, tripFrom = 121 * 1440, tripTo = 185 * 1440;
    qint64 fed = 0, tripFed = 0;
    [[maybe_unused]] qint64 memoryWithFullTable = 0; // not compared under the sanitizer, whose allocator is its own
    for (qint64 minute = 0; minute < minutes; ++minute) {
        if (minute == tripFrom)
            trip.startButton();
        const int n = revolutionsIn(minute);
        t.clock.advance(30);
        if (n == 1)
            RegisterPulse(ctx, 7, t.clock.timer(), camera);
        fed += n;
        tripFed += minute >= tripFrom && minute < tripTo ? n : 0;
        t.clock.advance(30);
        trip.tick();
        logging.tick();
        store.tick();
        if (minute + 1 == tripTo) {
            trip.stopButton();
            EXPECT_EQ(ctx.trip.totalPulse, tripFed);
        }
        if (minute == 40 * 1440) // the table filled after 35 days
            memoryWithFullTable = memoryInUse();
    }
    [[maybe_unused]] const qint64 memoryAtEnd = memoryInUse();
    logging.stopButton();
    ASSERT_EQ(t.clock.now(), end);

    EXPECT_EQ(std::tuple(ctx.logging.totalPulse, ctx.logging.totalKWH), std::tuple(fed, fed / 120.0));
    MeterReadingStore reread(ctx);
    EXPECT_EQ(reread.load(), "");
    EXPECT_EQ(std::tuple(reread.reading().revolutions, reread.reading().kWh()), std::tuple(fed, 12345.6 + fed / 120.0));
    EXPECT_LT(QFileInfo(t.path(QStringLiteral("METERREADING.DTA"))).size(), MeterReadingStore::CompactBytes + 100)
        << "rewritten hundreds of times";
#ifndef __SANITIZE_ADDRESS__
    // The slack: the allocator keeps freed blocks at hand, counted as in use, and texts grow with their figures. A
    // leak of a few bytes a revolution, record or backup, of which there are thousands after the table filled, is more.
    EXPECT_LE(memoryAtEnd, memoryWithFullTable + 64 * 1024);
#endif

    // The backup: the header, then a line a record; the table holds the last 10,000 of them, oldest first.
    QList<QByteArray> file = fileBytes(ctx.paths.dataStore).split('\n');
    file.removeLast();
    const qint64 records = start.secsTo(end) / 300;
    ASSERT_EQ(file.size(), records + 1);
    ASSERT_EQ(ctx.varGlobalDataArray.count(), 10000);
    for (qint32 r = 1; r <= 10000; ++r)
        ASSERT_EQ(RecordLine(ctx).line(ctx.varGlobalDataArray.row(r)), file[records - 10000 + r] + '\n') << r;
    // Each record at its time on the wall clock and its seconds since the start, with its revolutions.
    qint64 counted = 0;
    for (qint64 r = 1; r <= records; ++r) {
        const QList<QByteArray> fields = file[r].split(',');
        qint64 interval = 0;
        for (qint64 minute = 5 * (r - 1); minute < 5 * r; ++minute)
            interval += revolutionsIn(minute);
        counted += interval;
        const QString time = start.addSecs(300 * r).toString(QStringLiteral("yyyy,M,d,h,m,s"));
        ASSERT_EQ(
            std::tuple(fields.mid(1, 7).join(',').toStdString(), fields[10].toLongLong(), fields[11].toLongLong()),
            std::tuple(time.toStdString() + ',' + std::to_string(interval), 300 * r, counted))
            << file[r].constData();
    }
}

} // namespace
