// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The parts of a request the page's server reads itself; whatever a client sends, each gives a value or none.
namespace RequestParts {
// The password of an Authorization header's value "Basic <base64 of user:password>"; none when it is not Basic or
// not well formed. The user name is ignored: the page has one password.
std::optional<QString> basicPassword(const QByteArray& authorization);
// The value of the named cookie in a Cookie header's value ("a=1; b=2"); none when it is absent.
std::optional<QByteArray> cookie(const QByteArray& header, const QByteArray& name);
// One field of an application/x-www-form-urlencoded body, percent- and plus-decoded as UTF-8; none when absent.
std::optional<QString> formField(const QByteArray& body, const QByteArray& name);
} // namespace RequestParts
