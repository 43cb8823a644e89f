// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/TestContext.h"

#include <QFile>
#include <gtest/gtest.h>

// A run driven only through the fake clock, pulses and timer ticks, with its files in the test's folder.
struct RunFixture : ::testing::Test
{
    TestContext t;

    // Ticks as Timer1 would, every `step` seconds (200 ms by default), for the given time.
    template <typename Engine> void tickFor(Engine& engine, double seconds, double step = 0.2)
    {
        const int ticks = static_cast<int>(seconds / step + 0.5);
        for (int i = 0; i < ticks; ++i) {
            t.clock.advance(step);
            engine.tick();
        }
    }
    QString path(const char* name) const { return t.path(QString::fromLatin1(name)); }
    bool exists(const char* name) const { return QFile::exists(path(name)); }
    void write(const char* name, const QByteArray& content) const { ASSERT_TRUE(writeFileBytes(path(name), content)); }
    QByteArray bytes(const char* name) const { return fileBytes(path(name)); }
    // The file's lines without their LF; a final line break gives no empty last line.
    QList<QByteArray> lines(const char* name) const
    {
        QList<QByteArray> out = bytes(name).split('\n');
        if (!out.isEmpty() && out.last().isEmpty())
            out.removeLast();
        return out;
    }
};
