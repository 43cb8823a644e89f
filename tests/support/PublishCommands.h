// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publish/PublishService.h"
#include "support/MosquittoBroker.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>

// Commands arrive queued on this thread, so events are processed while waiting.
inline bool eventually(const std::function<bool()>& condition)
{
    for (QDeadlineTimer deadline(10000); !condition(); QThread::msleep(50), QCoreApplication::processEvents())
        if (deadline.hasExpired())
            return false;
    return true;
}

// Sends a command to wattsight/meter1/object/set and waits for the service to answer it: "" when carried out,
// otherwise the refusal's reason.
inline QString commandAnswer(const MosquittoBroker& broker, PublishService& service, const QString& object,
                             const QByteArray& payload)
{
    int answers = 0;
    const auto counting = QObject::connect(&service, &PublishService::statusChanged, [&] { ++answers; });
    broker.send("wattsight/meter1/" + object + "/set", {"-m", QString::fromUtf8(payload)});
    const bool answered = eventually([&] { return answers > 0; });
    QObject::disconnect(counting);
    return answered ? service.statusText().section('\n', 1).section(" refused: ", 1) : "no answer";
}
