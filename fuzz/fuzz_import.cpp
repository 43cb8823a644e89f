// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a data file: the reader must not crash, must keep the pointer inside the table, must
// name the failing line, and every record it accepts must be written back by the record line in exactly 21
// fields and read again to the same line. The first byte picks the delimiter and the locale, so delimiters
// that are the locale's decimal separator or that occur inside its dates are tried too.
#include "FuzzServices.h"
#include "app/TextFormat.h"
#include "data/DataImport.h"
#include "metering/MeteringContext.h"
#include "metering/RecordLine.h"

#include <cstdint>

namespace {

const QString Delimiters[] = {QStringLiteral(","), QStringLiteral(";"), QStringLiteral("\t"), QStringLiteral("Ab"),
                              QStringLiteral(" "), QStringLiteral("/"), QStringLiteral("\""), QStringLiteral("P")};
const QLocale Locales[] = {
    QLocale(QLocale::English, QLocale::UnitedKingdom), QLocale(QLocale::German, QLocale::Germany),
    QLocale(QLocale::English, QLocale::UnitedStates),  QLocale(QLocale::Arabic, QLocale::Egypt),
    QLocale(QLocale::Albanian, QLocale::Albania),      QLocale(QLocale::Spanish, QLocale::Spain),
    QLocale(QLocale::Chinese, QLocale::Taiwan),        QLocale(QLocale::Persian, QLocale::Iran)};
constexpr qint32 Capacity = 64;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    FuzzServices run;
    MeteringContext ctx(run.services());
    ctx.strGlobalEndOfLine = QStringLiteral("\r\n");
    ctx.strGlobalFieldDelimiter = Delimiters[data[0] % 8];
    ctx.locale = Locales[(data[0] / 8) % 8];
    ctx.varGlobalDataArray = DataArray(Capacity);
    const QString file = QStringLiteral("/fuzz/DATASTOR.DTA");
    run.files.files.insert(file, QByteArray(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1)));

    const QString error = read_data_file(ctx, file);
    const DataArray& table = ctx.varGlobalDataArray;
    check(table.pointer() >= 1 && table.pointer() <= Capacity + 1);
    check(error.isEmpty() || error.endsWith(QStringLiteral("\r\n")));
    check(error.isEmpty() || error.contains(QStringLiteral("\r\nLine ")));

    const RecordLine lines(ctx);
    for (qint32 r = 1; r < table.pointer(); ++r) {
        const QByteArray written = lines.line(table.row(r));
        LogRecord again;
        QByteArray line = written;
        line.chop(ctx.strGlobalEndOfLine.size());
        check(lines.read(QString::fromLocal8Bit(line), again, RecordLine::Fields::Whole).isEmpty());
        check(lines.line(again) == written);
    }
    return 0;
}
