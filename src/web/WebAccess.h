// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "web/LoginThrottle.h"
#include "web/WebSessions.h"

#include <QByteArray>
#include <QSet>
#include <QString>

class QHttpServerRequest;

// Who may use the page: everyone while no password is set, otherwise a request with a session's cookie or with the
// password by HTTP Basic (what Prometheus and scripts send). A wrong password counts against its address, which
// after LoginThrottle::FreeTries must wait. now: seconds of a clock that never goes back.
class WebAccess
{
public:
    static constexpr char SessionCookie[] = "wattsight_session";

    struct Verdict
    {
        enum class Kind
        {
            Allowed,
            SignIn,        // no password, or no session
            WrongPassword, // counted against the address
            Wait           // too many wrong ones
        };
        Kind kind = Kind::Allowed;
        int waitSeconds = 0; // with Wait
        QByteArray token;    // a new session's, from signIn
    };

    // The settings' WEB_PASSWORD hash, "" for none. A change ends every session.
    void setPasswordHash(const QString& hash);
    bool passwordSet() const { return !m_hash.isEmpty(); }

    Verdict check(const QHttpServerRequest& request, double now);
    // The sign-in form's password; a session's token when it is right.
    Verdict signIn(const QHttpServerRequest& request, const QString& password, double now);
    void signOut(const QHttpServerRequest& request);

private:
    Verdict tryPassword(const QHttpServerRequest& request, const QString& password, double now);

    QString m_hash;
    LoginThrottle m_throttle;
    WebSessions m_sessions;
    // The digests of Authorization headers found right, so that a scraper asking every few seconds does not pay the
    // password's deliberate cost each time.
    QSet<QByteArray> m_rightBasic;
};
