// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "metering/RunDisplay.h"

#include <QTimer>

// Timer1 of a run engine (trip or logging): runs while the engine's display says so, at its interval, and
// ticks the engine. A child of the engine, so that the run goes on whether a screen shows it or not.
class RunTimer : public QTimer
{
public:
    template <typename Engine> explicit RunTimer(Engine& engine) : QTimer(&engine)
    {
        setObjectName(QStringLiteral("Timer1"));
        connect(&engine, &Engine::displayChanged, this, [this, &engine] { follow(engine.display()); });
        connect(this, &QTimer::timeout, &engine, &Engine::tick);
        follow(engine.display());
    }

private:
    void follow(const RunDisplay& display);
};
