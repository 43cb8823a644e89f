// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/PasswordHash.h"

#include <QString>
#include <gtest/gtest.h>

namespace {

// "grün" with this salt and 3 iterations, as another PBKDF2-HMAC-SHA256 implementation derives it.
const QString KnownHash =
    QStringLiteral("pbkdf2-sha256$3$MDEyMzQ1Njc4OWFiY2RlZg==$XxMUIAklGLbpz09rgdRO0TtL5ycsIWe069odiKcbZqw=");
const QString KnownPassword = QStringLiteral("grün");

// Right and wrong passwords against a made hash go through the page's server test.
TEST(PasswordHash, HasAFreshSaltEachTimeAndReadsItsIterationCount)
{
    EXPECT_NE(PasswordHash::make(KnownPassword), PasswordHash::make(KnownPassword));

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

} // namespace
