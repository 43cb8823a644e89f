// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>

class FindMarkSession;
class MeterCamera;
class PublishService;

// Find Mark by command: BASE/find_mark/set start | accept | cancel, on the same watch as the window's. Its
// progress, the proposal and how it ended go as JSON to BASE/find_mark.
class RemoteFindMark : public QObject
{
    Q_OBJECT

public:
    RemoteFindMark(PublishService& publish, MeterCamera& camera, QObject* parent = nullptr);

private:
    QString carryOut(const QByteArray& payload);
    void follow(FindMarkSession* session);
    void publishProgress();
    void publishStatus(const QString& status);

    PublishService& m_publish;
    MeterCamera& m_camera;
    QPointer<FindMarkSession> m_session;
};
