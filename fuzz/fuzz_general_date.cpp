// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary text through the date and number readers of the data files. Where the locale's own parser reads
// a text, the date reader must read the same value, and whatever it accepts must format and read back to the
// same value.
#include "FuzzServices.h"
#include "app/TextFormat.h"

#include <cmath>
#include <cstdint>

namespace {

const GeneralDateFormat& dateFormat(int which)
{
    static const GeneralDateFormat formats[] = {GeneralDateFormat(QLocale(QLocale::English, QLocale::UnitedKingdom)),
                                                GeneralDateFormat(QLocale(QLocale::English, QLocale::UnitedStates)),
                                                GeneralDateFormat(QLocale(QLocale::German, QLocale::Germany)),
                                                GeneralDateFormat(QLocale(QLocale::Japanese, QLocale::Japan)),
                                                GeneralDateFormat(QLocale(QLocale::Albanian, QLocale::Albania)),
                                                GeneralDateFormat(QLocale(QLocale::Chinese, QLocale::Taiwan)),
                                                GeneralDateFormat(QLocale(QLocale::Arabic, QLocale::Egypt)),
                                                GeneralDateFormat(QLocale(QLocale::Assamese, QLocale::India))};
    return formats[which % 8];
}

void checkDate(const GeneralDateFormat& dates, const QString& text)
{
    const auto read = dates.parse(text);
    const auto slow = dates.parseWithLocale(text);
    check(!slow || read == slow);
    if (!read)
        return;
    const auto again = dates.parse(dates.format(*read));
    check(again.has_value() && *again == *read);
}

void checkNumber(const QString& text, QChar point)
{
    const auto value = TextFormat::parseNumber(text, point);
    if (!value || !std::isfinite(*value))
        return;
    const QString written = TextFormat::formatGeneral(*value, point);
    const auto again = TextFormat::parseNumber(written, point);
    check(again.has_value());
    check(TextFormat::formatGeneral(*again, point) == written);
    QByteArray bytes;
    TextFormat::appendGeneral(bytes, *value, point.toLatin1());
    check(QString::fromLatin1(bytes) == written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
    checkDate(dateFormat(data[0]), text);
    checkNumber(text, data[0] & 0x10 ? QLatin1Char(',') : QLatin1Char('.'));
    return 0;
}
