// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as the parts of a request the page's server reads, "name\nvalue": the name is the cookie's or
// form field's name and the password, the value the header, body or stored hash. Whatever each finds reads the
// same once written back the way a browser would write it, and only a well-formed hash is ever checked.
#include "FuzzServices.h"
#include "web/PasswordHash.h"
#include "web/RequestParts.h"

#include <cstdint>

namespace {
// Checking a hash costs its iterations; the fuzzer checks only cheap ones to stay quick.
constexpr int MaxFuzzedIterations = 64;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype newline = bytes.indexOf('\n');
    const QByteArray name = newline < 0 ? QByteArray() : bytes.first(newline);
    const QByteArray value = newline < 0 ? bytes : bytes.sliced(newline + 1);

    if (const std::optional<QString> password = RequestParts::basicPassword(value))
        check(RequestParts::basicPassword("Basic " + ("user:" + password->toUtf8()).toBase64()) == *password);

    if (const std::optional<QByteArray> cookie = RequestParts::cookie(value, name)) {
        check(!cookie->contains(';') && *cookie == cookie->trimmed());
        check(RequestParts::cookie(name + "=" + *cookie, name) == *cookie);
    }

    if (const std::optional<QString> field = RequestParts::formField(value, name))
        check(RequestParts::formField(name.toPercentEncoding() + "=" + field->toUtf8().toPercentEncoding(), name) ==
              *field);

    const QString text = QString::fromUtf8(value);
    const QString password = QString::fromUtf8(name);
    if (!PasswordHash::isHash(text)) {
        check(!PasswordHash::matches(text, password));
        return 0;
    }
    check(text.startsWith(QStringLiteral("pbkdf2-sha256$")));
    if (text.section(QLatin1Char('$'), 1, 1).toInt() <= MaxFuzzedIterations)
        PasswordHash::matches(text, password);
    return 0;
}
