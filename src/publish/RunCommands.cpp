// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/RunCommands.h"

#include "metering/LoggingEngine.h"
#include "metering/MeteringContext.h"
#include "metering/TripEngine.h"
#include "publish/PublishPayloads.h"
#include "publish/PublishService.h"

RunCommands::RunCommands(PublishService& publish, TripEngine& trip, LoggingEngine& logging, QObject* parent)
    : QObject(parent), m_publish(publish), m_trip(trip), m_logging(logging)
{
    m_publish.addCommand(QLatin1String(TripObject), [this](const QByteArray& payload) { return this->trip(payload); });
    m_publish.addCommand(QLatin1String(LoggingObject),
                         [this](const QByteArray& payload) { return this->logging(payload); });
    connect(&m_logging, &LoggingEngine::runStarted, this, &RunCommands::publishLogging);
    connect(&m_logging, &LoggingEngine::runStopped, this, &RunCommands::publishLogging);
    publishLogging();
}

QString RunCommands::trip(const QByteArray& payload)
{
    const QByteArray command = payload.trimmed();
    const bool running = m_trip.context().blnGlobalTripRunning;
    if (command == "start") {
        if (running)
            return QStringLiteral("the trip is running already");
        m_trip.startButton();
    } else if (command == "stop" || command == "reset") {
        if (!running)
            return QStringLiteral("the trip is not running");
        if (command == "stop")
            m_trip.stopButton();
        else
            m_trip.resetButton();
    } else {
        return CommandDispatcher::payloadIsNot(payload, QStringLiteral("start, stop or reset"));
    }
    return {};
}

QString RunCommands::logging(const QByteArray& payload)
{
    const QByteArray command = payload.trimmed();
    if (command == "start")
        return m_logging.startCommand();
    if (command == "stop")
        return m_logging.stopCommand();
    return CommandDispatcher::payloadIsNot(payload, QStringLiteral("start or stop"));
}

void RunCommands::publishLogging()
{
    m_publish.publishAt(QLatin1String(LoggingObject), m_logging.context().blnGlobalLoggingRunning
                                                          ? QByteArrayLiteral("running")
                                                          : QByteArrayLiteral("stopped"));
}
