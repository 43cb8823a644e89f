// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/WebAccess.h"

#include "web/PasswordHash.h"
#include "web/RequestParts.h"
#include "web/WebServer.h"

#include <QCryptographicHash>
#include <QHttpServerRequest>
#include <cmath>

namespace {
constexpr qsizetype MaxRightBasic = 64;

QByteArray sessionToken(const QHttpServerRequest& request)
{
    return RequestParts::cookie(RequestHeader(request, "Cookie"), WebAccess::SessionCookie).value_or(QByteArray());
}
} // namespace

void WebAccess::setPasswordHash(const QString& hash)
{
    if (hash == m_hash)
        return;
    m_hash = hash;
    m_sessions.endAll();
    m_rightBasic.clear();
}

WebAccess::Verdict WebAccess::check(const QHttpServerRequest& request, double now)
{
    if (!passwordSet())
        return {};
    const QByteArray token = sessionToken(request);
    if (!token.isEmpty() && m_sessions.use(token, now))
        return {};
    const QByteArray authorization = RequestHeader(request, "Authorization");
    const std::optional<QString> password = RequestParts::basicPassword(authorization);
    if (!password)
        return {Verdict::Kind::SignIn, 0, {}};
    const QByteArray digest = QCryptographicHash::hash(authorization, QCryptographicHash::Sha256);
    if (m_rightBasic.contains(digest))
        return {};
    Verdict verdict = tryPassword(request, *password, now);
    if (verdict.kind == Verdict::Kind::Allowed) {
        if (m_rightBasic.size() >= MaxRightBasic)
            m_rightBasic.clear();
        m_rightBasic.insert(digest);
    }
    return verdict;
}

WebAccess::Verdict WebAccess::signIn(const QHttpServerRequest& request, const QString& password, double now)
{
    Verdict verdict = passwordSet() ? tryPassword(request, password, now) : Verdict{};
    if (verdict.kind == Verdict::Kind::Allowed)
        verdict.token = m_sessions.begin(now);
    return verdict;
}

void WebAccess::signOut(const QHttpServerRequest& request)
{
    m_sessions.end(sessionToken(request));
}

WebAccess::Verdict WebAccess::tryPassword(const QHttpServerRequest& request, const QString& password, double now)
{
    const QHostAddress from = request.remoteAddress();
    if (const double wait = m_throttle.waitSeconds(from, now); wait > 0)
        return {Verdict::Kind::Wait, static_cast<int>(std::ceil(wait)), {}};
    if (!PasswordHash::matches(m_hash, password)) {
        m_throttle.failed(from, now);
        return {Verdict::Kind::WrongPassword, 0, {}};
    }
    m_throttle.succeeded(from);
    return {};
}
