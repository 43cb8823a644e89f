// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

// The meter constant and the price of the crash logger's revolution n while it keeps a meter reading: both
// change every few revolutions, so a reading read back has crossed many changes.
inline double crashLoggerRevsPerKWh(qint64 revolution)
{
    return (revolution / 25) % 2 == 0 ? 300.0 : 187.5;
}
inline double crashLoggerPrice(qint64 revolution)
{
    return (revolution / 40) % 2 == 0 ? 5.0 : 6.3;
}

// Starts the crash logger (tests/data/crashlogger) in the folder, lets it log for the given time after it
// started logging, then kills it with SIGKILL: no handler, no flush, no destructor runs. With a meter reading
// to set, `printed` gets what the logger printed after "started".
inline void runAndKillCrashLogger(const QString& program, const QString& folder, int backupSeconds, int milliseconds,
                                  const QString& meterReading = {}, QByteArray* printed = nullptr)
{
    QProcess logger;
    QStringList arguments{folder, QString::number(backupSeconds)};
    if (!meterReading.isEmpty())
        arguments << meterReading;
    logger.start(program, arguments);
    ASSERT_TRUE(logger.waitForStarted(5000));
    ASSERT_TRUE(logger.waitForReadyRead(5000)) << logger.readAllStandardError().toStdString();
    ASSERT_EQ(logger.readLine().trimmed(), "started");
    QThread::msleep(static_cast<unsigned long>(milliseconds));
    ASSERT_EQ(logger.state(), QProcess::Running) << logger.readAllStandardError().toStdString();
    logger.kill();
    ASSERT_TRUE(logger.waitForFinished(5000));
    EXPECT_EQ(logger.exitStatus(), QProcess::CrashExit);
    if (printed)
        *printed = logger.readAllStandardOutput();
}
