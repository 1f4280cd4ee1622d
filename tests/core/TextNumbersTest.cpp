#include "link/TextNumbers.h"
#include "tests/fakes/CommaLocale.h"
#include "tests/fakes/ErrorNumber.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

using fakes::errorNumberOf;

TEST(NumericValue, TakesTheWholeTextWithBlanksAround) {
    const std::pair<std::string, double> cases[] = {
        {"500", 500}, {" 1000", 1000}, {"1000 ", 1000}, {"750.5", 750.5}, {"-600", -600},
        {".5", 0.5},  {"5.", 5},       {"+7", 7},       {"1e3", 1000},    {"07", 7},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_DOUBLE_EQ(numericValue(text), value) << text;
    }
}

TEST(NumericValue, RaisesTypeMismatchForAnythingElse) {
    for (const std::string text : {"", " ", "abc", "5a", "1 2", ".", "-", "e5", "1e", "p", "0x10", "inf", "nan"}) {
        EXPECT_EQ(errorNumberOf([&] { numericValue(text); }), err::kTypeMismatch) << '"' << text << '"';
    }
}

TEST(NumericValue, RaisesOverflowBeyondTheRangeOfADouble) {
    // Too large, however the digits stand around the point.
    for (const std::string text :
         {"1e999", "5e400", ".5e400", "0.05e311", "-.5e400", "1000e306", "1e99999999999999999999"}) {
        EXPECT_EQ(errorNumberOf([&] { numericValue(text); }), err::kOverflow) << text;
    }
    // Too close to zero to tell from it: zero, never an overflow.
    for (const std::string text : {"1e-999", "5e-400", "1000e-330", "0.0e999", "-.5e-400", "1e-99999999999999999999"}) {
        EXPECT_DOUBLE_EQ(numericValue(text), 0.0) << text;
    }
}

TEST(LeadingNumber, ReadsTheNumberAtTheStartAndNeverFails) {
    const std::pair<std::string, double> cases[] = {
        {"5.5", 5.5},   {" .5", 0.5}, {" 10", 10},  {"50.0", 50},   {"-5", -5},  {"abc", 0},  {"", 0},
        {"5.25", 5.25}, {"9.9", 9.9}, {"12ab", 12}, {"1.2.3", 1.2}, {"- 5", -5}, {"5 5", 55}, {"ab5", 0},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_DOUBLE_EQ(leadingNumber(text), value) << text;
    }
}

TEST(Rounding, GoesToTheEvenNeighbourOnTies) {
    EXPECT_EQ(roundHalfEven(4.5), 4);
    EXPECT_EQ(roundHalfEven(5.5), 6);
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(750.5), 750);
    EXPECT_EQ(roundHalfEven(1000.6), 1001);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
}

TEST(Narrowing, RaisesOverflowWhenTheValueDoesNotFit) {
    EXPECT_EQ(toInt16(32767), 32767);
    EXPECT_EQ(toInt16(-32768), -32768);
    EXPECT_EQ(errorNumberOf([] { toInt16(32768); }), err::kOverflow);
    EXPECT_EQ(errorNumberOf([] { toInt32(2147483648.0); }), err::kOverflow);
    EXPECT_EQ(errorNumberOf([] { toSingle(1e300); }), err::kOverflow);
}

TEST(NumberTexts, UseThePointWhateverTheLocale) {
    // A comma locale must not leak into the radio's numbers or the display.
    const fakes::CommaLocale comma;
    if (!comma.active()) {
        GTEST_SKIP() << "no locale with a decimal comma can be had on this machine";
    }
    EXPECT_EQ(oneDecimalText(5.5), "5.5");
    EXPECT_DOUBLE_EQ(numericValue("5.5"), 5.5);
    EXPECT_EQ(errorNumberOf([] { numericValue("5,5"); }), err::kTypeMismatch);
    EXPECT_DOUBLE_EQ(leadingNumber("5,5"), 5);
    EXPECT_EQ(displayText(0.5), " .5");
    EXPECT_EQ(plainText(0.3), "0.3");
    EXPECT_EQ(singleText(7.5F), "7.5");
}

TEST(NumberTexts, FollowTheDisplayForms) {
    EXPECT_EQ(oneDecimalText(5), "5.0");
    EXPECT_EQ(oneDecimalText(0.5), "0.5");
    EXPECT_EQ(oneDecimalText(12), "12.0");
    EXPECT_EQ(displayText(5.0), " 5");
    EXPECT_EQ(displayText(5.5), " 5.5");
    EXPECT_EQ(displayText(0.5), " .5");
    EXPECT_EQ(displayText(0.0), " 0");
    EXPECT_EQ(displayText(10.0), " 10");
    EXPECT_EQ(plainText(50), "50");
    EXPECT_EQ(plainText(0.3), "0.3");
    EXPECT_EQ(singleText(1440.0F), "1440");
    EXPECT_EQ(singleText(-15.0F), "-15");
    EXPECT_EQ(singleText(7.5F), "7.5");
    // A negative zero, or a small negative that rounds to zero, never shows its sign.
    EXPECT_EQ(plainText(-0.0), "0");
    EXPECT_EQ(singleText(-0.0F), "0");
    EXPECT_EQ(oneDecimalText(-0.04), "0.0");
    EXPECT_EQ(oneDecimalText(-0.05), "-0.1");
    EXPECT_EQ(displayText(-0.0), " 0");
    EXPECT_EQ(characterCount("5.5"), 3U);
    EXPECT_EQ(characterCount(std::string("\xC3\xA9") + "5"), 2U);
    const std::vector<std::string_view> expected{"\xC3\xA9", "5", "\xE2\x82\xAC"};
    EXPECT_EQ(utf8Characters("\xC3\xA9"
                             "5"
                             "\xE2\x82\xAC"),
              expected);
}

} // namespace
} // namespace quorvel
