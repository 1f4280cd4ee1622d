#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Numbers travel through the program as text and are converted where they are used. These are the
// conversions, all of them locale-independent: "." is the decimal separator whatever the user's
// regional settings say, so a reply reads the same on every station computer.
namespace quorvel {

// The whole text as a number, blanks around it allowed; anything else raises "Type mismatch" (13).
double numericValue(std::string_view text);

// The number at the start of the text ("." as separator, blanks skipped, a leading sign counted);
// 0 when the text does not start with one. Never fails.
double leadingNumber(std::string_view text);

// Nearest whole number, ties to even (4.5 -> 4, 5.5 -> 6).
double roundHalfEven(double value);

// Narrowing to the integer types the controls take; "Overflow" (6) when the value does not fit.
std::int16_t toInt16(double wholeValue);
std::int32_t toInt32(double wholeValue);
float toSingle(double value);

// Plain decimal digits of a whole number: "50", "-3", no leading blank, no leading zeros.
std::string decimalText(long long value);

// Shortest plain text of a number with no leading blank: "5.5", "50", "0.3".
std::string plainText(double value);

// Decimal text of a single-precision number, as window positions are stored: "1440", "-15", "7.5".
std::string singleText(float value);

// Exactly one digit after the point, leading zero kept: "5.0", "0.5", "12.0".
std::string oneDecimalText(double value);

// The display form of a number: a leading blank (or "-"), no trailing zeros, no point for a whole
// number and no zero before the point: 5.0 -> " 5", 5.5 -> " 5.5", 0.5 -> " .5", 0 -> " 0".
std::string displayText(double value);

// An ASCII digit, whatever the locale says of other characters.
constexpr bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The characters of a UTF-8 text, each as its own byte run, and their number.
std::vector<std::string_view> utf8Characters(std::string_view utf8);
std::size_t characterCount(std::string_view utf8);

} // namespace quorvel
