// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// WEB_PASSWORD as the settings file keeps it: "pbkdf2-sha256$<iterations>$<salt, base64>$<key, base64>", never the
// password itself, so a copied settings file does not give the page away.
namespace PasswordHash {
// A new random salt each time.
QString make(const QString& password);
// Whether the text is a hash of the form above (anything else in the file is a password typed in by hand).
bool isHash(const QString& text);
// Compares in constant time; false for a text that is not a hash.
bool matches(const QString& hash, const QString& password);
} // namespace PasswordHash
