// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class LoggingEngine;
class PublishService;
class TripEngine;

// The trip and the logging run by command: BASE/trip/set start | stop | reset and BASE/logging/set start |
// stop, each doing what the screen's button does, refused where the button is disabled or would ask. Whether
// logging runs is kept on BASE/logging.
class RunCommands : public QObject
{
    Q_OBJECT

public:
    RunCommands(PublishService& publish, TripEngine& trip, LoggingEngine& logging, QObject* parent = nullptr);

private:
    QString trip(const QByteArray& payload);
    QString logging(const QByteArray& payload);
    void publishLogging();

    PublishService& m_publish;
    TripEngine& m_trip;
    LoggingEngine& m_logging;
};
