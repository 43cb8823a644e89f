// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>

// The page's sign-ins: a random token per browser, handed out as a cookie after the password was right, valid
// until IdleSeconds pass without a request. At most MaxSessions; a new one beyond that ends the idlest.
class WebSessions
{
public:
    static constexpr double IdleSeconds = 30.0 * 24 * 3600;
    static constexpr int MaxSessions = 256;

    // now: seconds of a clock that never goes back. The token: 32 random bytes, hex.
    QByteArray begin(double now);
    // Whether the token is a session's, renewing it; compared in constant time.
    bool use(const QByteArray& token, double now);
    void end(const QByteArray& token);
    void endAll() { m_lastUse.clear(); }

private:
    QHash<QByteArray, double> m_lastUse;
};
