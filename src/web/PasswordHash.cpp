// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/PasswordHash.h"

#include "web/ConstantTime.h"

#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QStringList>
#include <array>
#include <optional>

namespace {
const QString HashScheme = QStringLiteral("pbkdf2-sha256");
// About 40 ms a check on the machine it was measured on: a guess at a copied settings file costs as much, a
// sign-in hardly notices. Stored with each hash, so raising it later leaves the hashes already made valid.
constexpr int NewHashIterations = 30000;
// Far above any sensible count, low enough that a hand-edited file cannot stall the server for hours per check.
constexpr int MaxIterations = 10'000'000;
constexpr qsizetype MaxIterationDigits = 8;
constexpr qsizetype SaltBytes = 16;
constexpr qsizetype KeyBytes = 32;

struct StoredHash
{
    int iterations = 0;
    QByteArray salt;
    QByteArray key;
};

QByteArray derivedKey(const QString& password, const QByteArray& salt, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, iterations,
                                              KeyBytes);
}

std::optional<int> iterationCount(const QString& text)
{
    if (text.isEmpty() || text.size() > MaxIterationDigits)
        return std::nullopt;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const int count = text.toInt();
    if (count < 1 || count > MaxIterations)
        return std::nullopt;
    return count;
}

std::optional<QByteArray> base64Field(const QString& text)
{
    // Characters beyond Latin-1 become '?', which is not base64 either.
    auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return *decoded;
}

std::optional<StoredHash> parsedHash(const QString& text)
{
    const QStringList fields = text.split(QLatin1Char('$'));
    if (fields.size() != 4 || fields[0] != HashScheme)
        return std::nullopt;
    const std::optional<int> iterations = iterationCount(fields[1]);
    const std::optional<QByteArray> salt = base64Field(fields[2]);
    const std::optional<QByteArray> key = base64Field(fields[3]);
    if (!iterations || !salt || salt->isEmpty() || !key || key->size() != KeyBytes)
        return std::nullopt;
    return StoredHash{*iterations, *salt, *key};
}
} // namespace

namespace PasswordHash {
QString make(const QString& password)
{
    std::array<quint32, SaltBytes / sizeof(quint32)> random{};
    QRandomGenerator::system()->fillRange(random.data(), random.size());
    const QByteArray salt(reinterpret_cast<const char*>(random.data()), SaltBytes);
    return QStringLiteral("%1$%2$%3$%4")
        .arg(HashScheme, QString::number(NewHashIterations), QString::fromLatin1(salt.toBase64()),
             QString::fromLatin1(derivedKey(password, salt, NewHashIterations).toBase64()));
}

bool isHash(const QString& text)
{
    return parsedHash(text).has_value();
}

bool matches(const QString& hash, const QString& password)
{
    const std::optional<StoredHash> stored = parsedHash(hash);
    return stored && ConstantTime::equal(derivedKey(password, stored->salt, stored->iterations), stored->key);
}
} // namespace PasswordHash
