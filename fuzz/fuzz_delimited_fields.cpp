// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary text as one line of a data file, split into fields as the reader does: written back field by field
// with the writers' quoting, the line must split into the same fields again. The first byte picks the delimiter.
#include "FuzzServices.h"
#include "metering/DelimitedFields.h"

#include <QStringList>
#include <cstdint>

namespace {
const QString Delimiters[] = {QStringLiteral(","),  QStringLiteral(";"), QStringLiteral("\t"), QStringLiteral("Ab"),
                              QStringLiteral("\""), QStringLiteral(" "), QStringLiteral("ß"),  QStringLiteral("||")};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QString& delimiter = Delimiters[data[0] % 8];
    const QString line = QString::fromUtf8(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
    DelimitedFields fields(delimiter);
    fields.split(line);
    check(fields.size() >= 1);
    QStringList first;
    QByteArray written;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        first << fields[i].toString();
        if (i > 0)
            written += delimiter.toLocal8Bit();
        const qsizetype from = written.size();
        written += fields[i].toString().toLocal8Bit();
        fields.quoteIfNeeded(written, from);
    }
    fields.split(QString::fromLocal8Bit(written));
    check(fields.size() == first.size());
    for (qsizetype i = 0; i < fields.size(); ++i)
        check(fields[i] == first[i]);
    return 0;
}
