// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestContext.h"
#include "web/LoginThrottle.h"
#include "web/PasswordHash.h"
#include "web/WebSessions.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

// "grün" with this salt and 3 iterations, as another PBKDF2-HMAC-SHA256 implementation derives it.
const QString KnownHash =
    QStringLiteral("pbkdf2-sha256$3$MDEyMzQ1Njc4OWFiY2RlZg==$XxMUIAklGLbpz09rgdRO0TtL5ycsIWe069odiKcbZqw=");
const QString KnownPassword = QStringLiteral("grün");

TEST(PasswordHash, MatchesOnlyItsPasswordWithAFreshSaltEachTime)
{
    const QString password = QStringLiteral("grüne Wiese 7");
    const QString hash = PasswordHash::make(password);
    EXPECT_TRUE(PasswordHash::isHash(hash));
    EXPECT_TRUE(PasswordHash::matches(hash, password));
    EXPECT_FALSE(PasswordHash::matches(hash, QStringLiteral("grune Wiese 7")));
    EXPECT_FALSE(PasswordHash::matches(hash, QString()));
    EXPECT_NE(PasswordHash::make(password), hash);

    // The iteration count comes from the stored text, and the password is hashed as UTF-8.
    EXPECT_TRUE(PasswordHash::matches(KnownHash, KnownPassword));
    EXPECT_FALSE(PasswordHash::matches(KnownHash, QStringLiteral("grun")));
}

TEST(PasswordHash, RefusesWhatIsNotAWellFormedHash)
{
    const QString salt = QStringLiteral("MDEyMzQ1Njc4OWFiY2RlZg==");
    const QString key = KnownHash.section(QLatin1Char('$'), 3);
    const auto hash = [](const QString& iterations, const QString& saltText, const QString& keyText) {
        return QStringLiteral("pbkdf2-sha256$%1$%2$%3").arg(iterations, saltText, keyText);
    };
    const auto base64 = [](int bytes) { return QString::fromLatin1(QByteArray(bytes, 'k').toBase64()); };
    for (const QString& text :
         {KnownPassword, QString(KnownHash).replace(QStringLiteral("sha256"), QStringLiteral("sha1")),
          KnownHash + QStringLiteral("$"), hash(QStringLiteral("0"), salt, key), hash(QStringLiteral("+3"), salt, key),
          hash(QStringLiteral("10000001"), salt, key), hash(QStringLiteral("4294967299"), salt, key),
          hash(QStringLiteral("3"), QString(), key),
          hash(QStringLiteral("3"), QStringLiteral("MD!y") + salt.mid(4), key),
          hash(QStringLiteral("3"), salt, base64(31))}) {
        EXPECT_FALSE(PasswordHash::isHash(text)) << text.toStdString();
        EXPECT_FALSE(PasswordHash::matches(text, KnownPassword)) << text.toStdString();
    }
    EXPECT_TRUE(PasswordHash::isHash(hash(QStringLiteral("10000000"), salt, base64(32))));
}

TEST(LoginThrottle, WaitsAfterTheFreeTriesDoublingUpToTheCap)
{
    LoginThrottle throttle;
    const QHostAddress address(QStringLiteral("192.0.2.7"));
    const QHostAddress other(QStringLiteral("2001:db8::7"));
    double now = 1000.0;
    for (int i = 1; i < LoginThrottle::FreeTries; ++i) {
        throttle.failed(address, now);
        EXPECT_EQ(throttle.waitSeconds(address, now), 0.0) << i;
    }
    for (const double wait : {1.0, 2.0, 4.0, 8.0}) {
        throttle.failed(address, now);
        EXPECT_DOUBLE_EQ(throttle.waitSeconds(address, now), wait);
        EXPECT_DOUBLE_EQ(throttle.waitSeconds(address, now + wait / 4), wait * 3 / 4);
        EXPECT_EQ(throttle.waitSeconds(other, now), 0.0);
        now += wait;
        EXPECT_EQ(throttle.waitSeconds(address, now), 0.0);
    }
    for (int i = 0; i < 2000; ++i)
        throttle.failed(address, now);
    EXPECT_DOUBLE_EQ(throttle.waitSeconds(address, now), LoginThrottle::MaxWaitSeconds);

    throttle.succeeded(address);
    for (int i = 1; i < LoginThrottle::FreeTries; ++i)
        throttle.failed(address, now);
    EXPECT_EQ(throttle.waitSeconds(address, now), 0.0);
}

TEST(WebSessions, TokensLastWhileUsedUntilEndedAndABeginBeyondTheCapEndsTheIdlest)
{
    WebSessions sessions;
    const double idle = WebSessions::IdleSeconds;
    const QByteArray ended = sessions.begin(0.0);
    const QByteArray kept = sessions.begin(0.0);
    EXPECT_EQ(kept.size(), 64);
    sessions.end(ended);
    EXPECT_FALSE(sessions.use(ended, 1.0));
    EXPECT_FALSE(sessions.use(kept.chopped(1), 1.0));
    EXPECT_TRUE(sessions.use(kept, idle - 1));
    EXPECT_TRUE(sessions.use(kept, 2 * idle - 2));
    EXPECT_FALSE(sessions.use(kept, 3 * idle));

    std::vector<QByteArray> tokens;
    for (int i = 0; i < WebSessions::MaxSessions; ++i)
        tokens.push_back(sessions.begin(i));
    ASSERT_TRUE(sessions.use(tokens[0], 1000.0));
    const QByteArray newest = sessions.begin(1001.0);
    EXPECT_FALSE(sessions.use(tokens[1], 1002.0));
    for (const QByteArray& token : {tokens[0], tokens[2], newest})
        EXPECT_TRUE(sessions.use(token, 1002.0));
}

} // namespace
