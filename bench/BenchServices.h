// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Services for the benchmarks: dialogs that answer OK and a pump with nothing to do.
#include "app/Dialogs.h"
#include "app/EventPump.h"

class SilentDialogs : public Dialogs
{
public:
    Answer message(const QString&, Buttons, Icon, const QString&) override { return Answer::Ok; }
    QString saveFileName(const FileRequest&) override { return {}; }
    QString openFileName(const FileRequest&) override { return {}; }
    void notice(const QString&, Icon, const QString&) override {}
};

class NoPump : public EventPump
{
public:
    void processEvents() override {}
    void waitForEvents(int) override {}
};
