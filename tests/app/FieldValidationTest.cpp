// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FieldValidation.h"

#include <gtest/gtest.h>

// In the namespace under test: a using-directive would also reach the test files compiled after this one.
namespace FieldValidation {
namespace {

const QString Range60000 = QStringLiteral("Maximum allowed value is 60000\r\nMinimum allowed value is 30");

// Letters, "." without decimals, "-" above zero, the sixth decimal and an empty field leaving are typed in the
// numeric field binding tests.
TEST(FieldValidation, KeyPressMisplacedMinusRangeAndDecimals)
{
    const std::tuple<const char*, int, double, double, int, bool, QString> cases[] = {
        {"123", 8, 30, 60000, 0, true, {}}, // backspace always
        {"1.2", '.', 0, 100, 5, false, {}}, // second point
        {"1", '.', 0, 100, 5, true, {}},
        {"", '-', -5, 100, 0, true, {}},
        {"-", '-', -5, 100, 0, false, {}},      // second minus
        {"", '1', 30, 60000, 0, true, {}},      // empty counts as 0
        {"60000", '0', 30, 60000, 0, true, {}}, // at the maximum: the leave check catches it
        {"60001", '0', 30, 60000, 0, false, QStringLiteral("Maximum allowed value is 60000\r\n")},
        {"101", '1', -5, 100, 0, false, QStringLiteral("Maximum allowed value is 100\r\nMinimum allowed value is -5")},
        {"-6", '1', -5, 100, 0, false, QStringLiteral("Maximum allowed value is 100\r\nMinimum allowed value is -5")},
        {"-", '1', -5, 100, 0, true, {}}, // lone minus counts as 0
        {"10000001", '1', 0.0000001, 10000000, 5, false, QStringLiteral("Maximum allowed value is 10000000\r\n")},
    };
    for (const auto& [text, key, min, max, decimals, accepted, message] : cases) {
        const auto shown = ValidateKeyPress(QString::fromLatin1(text), key, min, max, decimals, true);
        EXPECT_EQ(shown.keyCode, accepted ? key : 0) << text << " + " << char(key);
        EXPECT_EQ(shown.message, message) << text << " + " << char(key);
        const auto quiet = ValidateKeyPress(QString::fromLatin1(text), key, min, max, decimals, false);
        EXPECT_TRUE(quiet.keyCode == shown.keyCode && quiet.message.isEmpty());
    }

    const std::pair<const char*, const char*> pasted[] = {{"", ""},        {"123", "123"},   {"-12", "-12"},
                                                          {"12-3", "123"}, {"-1-2", "-1-2"}, {"1-2-3", "123"},
                                                          {"--", "--"},    {"5-", "5"}};
    for (const auto& [in, out] : pasted)
        EXPECT_EQ(StripMisplacedMinus(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;

    const std::tuple<const char*, double, double, bool, QString> ranges[] = {
        {"30", 30, 60000, true, {}},
        {"60000", 30, 60000, true, {}},
        {"29", 30, 60000, false, Range60000},
        {"60001", 30, 60000, false, Range60000},
        {"", 0, 8, false, QStringLiteral("Maximum allowed value is 8\r\nMinimum allowed value is 0")},
        {"-", 0, 8, false, {}}, // not a number: quiet
        {"1.5", 0, 8, true, {}},
        {"0.00000001", 0.0000001, 10000000, false,
         QStringLiteral("Maximum allowed value is 10000000\r\nMinimum allowed value is 1E-07")},
        {"0.0000000001", 0.0000000001, 1000000000, true, {}},
    };
    for (const auto& [text, min, max, ok, message] : ranges) {
        const auto r = ValidateRange(QString::fromLatin1(text), min, max, QStringLiteral("old"), true);
        EXPECT_EQ(std::tuple(r.ok, r.message), std::tuple(ok, message)) << text;
        EXPECT_TRUE(ValidateRange(QString::fromLatin1(text), min, max, {}, false).message.isEmpty());
    }

    const QString old = QStringLiteral("7");
    const std::tuple<const char*, const char*, QString> withDecimals[] = {
        {"12.5", "12.5", {}},
        {"1", "1", {}},
        {"100", "100", {}}, // both ends belong to the range
        {"12.12345", "12.12345", {}},
        {"12.123456", "7", QStringLiteral("Maximum number of decimal places is 5")},
        {"", "7", QStringLiteral("Maximum allowed value is 100\r\nMinimum allowed value is 1")},
        {"0.5", "7", QStringLiteral("Maximum allowed value is 100\r\nMinimum allowed value is 1")},
        {"abc", "7", {}},
    };
    for (const auto& [text, result, message] : withDecimals) {
        const auto r = ValidateRangeAndDecimals(QString::fromLatin1(text), 1, 100, 5, old, true);
        EXPECT_EQ(std::tuple(r.text, r.message), std::tuple(QString::fromLatin1(result), message)) << text;
        // Without messages the decision stays the same.
        EXPECT_EQ(ValidateRangeAndDecimals(QString::fromLatin1(text), 1, 100, 5, old, false).text, r.text);
    }
}

} // namespace
} // namespace FieldValidation
