// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary text as one line of a data file, split into fields as the reader does. Each field made safe as the
// writers make a comment or a date and written back unquoted, the line must split into the same number of
// fields again, each the safe text. The first byte picks the delimiter and the stand-ins (the comment's or
// the date's).
#include "FuzzServices.h"
#include "app/TextFormat.h"
#include "metering/DelimitedFields.h"

#include <QStringList>
#include <cstdint>

namespace {
const QString Delimiters[] = {QStringLiteral(","),  QStringLiteral(";"), QStringLiteral("\t"), QStringLiteral("Ab"),
                              QStringLiteral("\""), QStringLiteral(" "), QStringLiteral("ß"),  QStringLiteral("||")};
const QString EndOfLine = QStringLiteral("\r\n");
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
    const QChar standIn = TextFormat::standInFor(delimiter, EndOfLine, data[0] & 8 ? u"_~#" : u" _~#");
    QStringList safe;
    for (qsizetype i = 0; i < fields.size(); ++i)
        safe << TextFormat::unquotedField(fields[i].toString(), delimiter, EndOfLine, standIn);
    fields.split(QString::fromLocal8Bit(safe.join(delimiter).toLocal8Bit()));
    check(fields.size() == safe.size());
    for (qsizetype i = 0; i < fields.size(); ++i)
        check(fields[i] == safe[i] && !safe[i].contains(QLatin1Char('"')) && !safe[i].contains(EndOfLine));
    return 0;
}
