// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary text through the date and number readers of the data files. The fast date reader must answer
// exactly as the locale's own parser does, and whatever either reader accepts must format and read back to
// the same value.
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
                                                GeneralDateFormat(QLocale(QLocale::Japanese, QLocale::Japan))};
    return formats[which % 4];
}

void checkDate(const GeneralDateFormat& dates, const QString& text)
{
    const auto fast = dates.parse(text);
    const auto slow = dates.parseWithLocale(text);
    check(fast.has_value() == slow.has_value());
    if (!fast)
        return;
    check(*fast == *slow);
    const auto again = dates.parse(dates.format(*fast));
    check(again.has_value() && *again == *fast);
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
