// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/RequestParts.h"

#include <QByteArrayView>
#include <QStringDecoder>

namespace {
// Bytes that are not UTF-8 give no text rather than replacement characters, so two different byte strings never
// read as the same password.
std::optional<QString> strictUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QByteArray formDecoded(QByteArray part)
{
    return QByteArray::fromPercentEncoding(part.replace('+', ' '));
}
} // namespace

namespace RequestParts {
std::optional<QString> basicPassword(const QByteArray& authorization)
{
    const QByteArray value = authorization.trimmed();
    const qsizetype space = value.indexOf(' ');
    if (space < 0 || QByteArrayView(value).first(space).compare("Basic", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    qsizetype start = space;
    while (start < value.size() && value[start] == ' ')
        ++start;
    const auto decoded = QByteArray::fromBase64Encoding(value.mid(start), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    const qsizetype colon = decoded.decoded.indexOf(':');
    if (colon < 0)
        return std::nullopt;
    return strictUtf8(QByteArrayView(decoded.decoded).sliced(colon + 1));
}

std::optional<QByteArray> cookie(const QByteArray& header, const QByteArray& name)
{
    for (const QByteArray& pair : header.split(';')) {
        const qsizetype equals = pair.indexOf('=');
        if (equals >= 0 && pair.first(equals).trimmed() == name)
            return pair.sliced(equals + 1).trimmed();
    }
    return std::nullopt;
}

std::optional<QString> formField(const QByteArray& body, const QByteArray& name)
{
    for (const QByteArray& field : body.split('&')) {
        const qsizetype equals = field.indexOf('=');
        // A field without '=' is there with an empty value, as browsers read it.
        const QByteArray fieldName = equals < 0 ? field : field.first(equals);
        if (formDecoded(fieldName) == name)
            return strictUtf8(equals < 0 ? QByteArray() : formDecoded(field.sliced(equals + 1)));
    }
    return std::nullopt;
}
} // namespace RequestParts
