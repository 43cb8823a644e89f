// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

// Starts the crash logger (tests/data/crashlogger) in the folder, lets it log for the given time after it
// started logging, then kills it with SIGKILL: no handler, no flush, no destructor runs.
inline void runAndKillCrashLogger(const QString& program, const QString& folder, int backupSeconds, int milliseconds)
{
    QProcess logger;
    logger.start(program, {folder, QString::number(backupSeconds)});
    ASSERT_TRUE(logger.waitForStarted(5000));
    ASSERT_TRUE(logger.waitForReadyRead(5000)) << logger.readAllStandardError().toStdString();
    ASSERT_EQ(logger.readLine().trimmed(), "started");
    QThread::msleep(static_cast<unsigned long>(milliseconds));
    ASSERT_EQ(logger.state(), QProcess::Running) << logger.readAllStandardError().toStdString();
    logger.kill();
    ASSERT_TRUE(logger.waitForFinished(5000));
    EXPECT_EQ(logger.exitStatus(), QProcess::CrashExit);
}
