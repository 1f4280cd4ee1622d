#include "link/TextNumbers.h"

#include "link/RunTimeError.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace quorvel {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Whether a number that does not fit a double is too large rather than too close to zero: the power
// of ten of its first significant digit decides, so ".5e400" is as large as "5e400" and "1000e-330"
// as small as "1e-327". Only called on texts that hold a sign, digits, a point and an exponent.
bool beyondTheLargest(std::string_view text) {
    const auto exponentAt = std::min(text.find_first_of("eE"), text.size());
    const auto mantissa = text.substr(0, exponentAt);
    const auto first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) {
        return false;
    }
    const auto point = static_cast<long long>(std::min(mantissa.find('.'), mantissa.size()));
    const auto at = static_cast<long long>(first);
    long long order = at < point ? point - at - 1 : point - at;
    // The exponent saturates: a double overflows long before a billion, and so does this sum.
    constexpr long long kSaturated = 1'000'000'000;
    long long exponent = 0;
    bool negative = false;
    for (std::size_t i = exponentAt + 1; i < text.size(); ++i) {
        if (text[i] == '-') {
            negative = true;
        } else if (isDigit(text[i])) {
            exponent = std::min(exponent * 10 + (text[i] - '0'), kSaturated);
        }
    }
    order += negative ? -exponent : exponent;
    return order > 0;
}

// Parses text that has already been checked to hold only a sign, digits, a point and an exponent.
double parseChecked(std::string_view text) {
    double value = 0;
    const auto* first = text.data();
    const auto* last = text.data() + text.size();
    if (first != last && *first == '+') {
        ++first;
    }
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        if (beyondTheLargest(text)) {
            throw RunTimeError::overflow();
        }
        return 0.0;
    }
    if (ec != std::errc{} || ptr != last) {
        throw RunTimeError::typeMismatch();
    }
    return value;
}

// Fixed notation, shortest round-trip digits unless a count of decimals is given; a negative zero
// reads as zero. 400 characters hold the largest double written out in full.
template <typename Number> std::string fixedText(Number value, std::optional<int> decimals = std::nullopt) {
    std::array<char, 400> buffer{};
    char* const first = buffer.data();
    char* const last = first + buffer.size();
    const auto [ptr, ec] = decimals ? std::to_chars(first, last, value, std::chars_format::fixed, *decimals)
                                    : std::to_chars(first, last, value, std::chars_format::fixed);
    std::string text(first, ec == std::errc{} ? ptr : first);
    if (!text.empty() && text.front() == '-' && text.find_first_of("123456789") == std::string::npos) {
        text.erase(0, 1);
    }
    return text;
}

} // namespace

double numericValue(std::string_view text) {
    const std::string_view body = trimBlanks(text);
    // sign? digits* ("." digits*)? with at least one digit, then an optional exponent.
    std::size_t i = 0;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < body.size() && isDigit(body[i])) {
        ++i;
        ++digits;
    }
    if (i < body.size() && body[i] == '.') {
        ++i;
        while (i < body.size() && isDigit(body[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        throw RunTimeError::typeMismatch();
    }
    if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < body.size() && (body[j] == '+' || body[j] == '-')) {
            ++j;
        }
        const std::size_t expStart = j;
        while (j < body.size() && isDigit(body[j])) {
            ++j;
        }
        if (j == expStart) {
            throw RunTimeError::typeMismatch();
        }
        i = j;
    }
    if (i != body.size()) {
        throw RunTimeError::typeMismatch();
    }
    return parseChecked(body);
}

double leadingNumber(std::string_view text) {
    // Collect the characters of the number, passing over blanks wherever they stand in it.
    std::string number;
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && isBlank(text[i])) {
            ++i;
        }
    };
    skipBlanks();
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        if (text[i] == '-') {
            number += '-';
        }
        ++i;
    }
    bool sawDigit = false;
    bool sawPoint = false;
    for (;; ++i) {
        skipBlanks();
        if (i >= text.size()) {
            break;
        }
        const char c = text[i];
        if (isDigit(c)) {
            number += c;
            sawDigit = true;
        } else if (c == '.' && !sawPoint) {
            number += c;
            sawPoint = true;
        } else {
            break;
        }
    }
    if (!sawDigit) {
        return 0;
    }
    if (number.back() == '.') {
        number.pop_back();
    }
    double value = 0;
    const std::string_view digits = number;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc{}) {
        // Hundreds of digits: either far below the smallest double (zero) or beyond the largest.
        if (number.find_first_of("123456789") > number.find('.')) {
            return 0.0;
        }
        return number.front() == '-' ? -std::numeric_limits<double>::infinity()
                                     : std::numeric_limits<double>::infinity();
    }
    return value;
}

double roundHalfEven(double value) {
    // nearbyint follows the default rounding mode, which is round-to-nearest-even.
    return std::nearbyint(value);
}

std::int16_t toInt16(double wholeValue) {
    if (!(wholeValue >= std::numeric_limits<std::int16_t>::min() &&
          wholeValue <= std::numeric_limits<std::int16_t>::max())) {
        throw RunTimeError::overflow();
    }
    return static_cast<std::int16_t>(wholeValue);
}

std::int32_t toInt32(double wholeValue) {
    if (!(wholeValue >= std::numeric_limits<std::int32_t>::min() &&
          wholeValue <= std::numeric_limits<std::int32_t>::max())) {
        throw RunTimeError::overflow();
    }
    return static_cast<std::int32_t>(wholeValue);
}

float toSingle(double value) {
    if (!(std::fabs(value) <= std::numeric_limits<float>::max())) {
        throw RunTimeError::overflow();
    }
    return static_cast<float>(value);
}

std::string decimalText(long long value) {
    return std::to_string(value);
}

std::string plainText(double value) {
    return fixedText(value);
}

std::string singleText(float value) {
    return fixedText(value);
}

std::string oneDecimalText(double value) {
    return fixedText(value, 1);
}

std::string displayText(double value) {
    std::string text = plainText(value);
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) {
        text.erase(0, 1);
    }
    if (text.size() > 1 && text.front() == '0' && text[1] == '.') {
        text.erase(0, 1);
    }
    return (negative ? "-" : " ") + text;
}

std::vector<std::string_view> utf8Characters(std::string_view utf8) {
    std::vector<std::string_view> chars;
    std::size_t start = 0;
    for (std::size_t i = 1; i <= utf8.size(); ++i) {
        // Continuation bytes (10xxxxxx) belong to the character before them.
        if (i == utf8.size() || (static_cast<unsigned char>(utf8[i]) & 0xC0U) != 0x80U) {
            chars.push_back(utf8.substr(start, i - start));
            start = i;
        }
    }
    return chars;
}

std::size_t characterCount(std::string_view utf8) {
    return utf8Characters(utf8).size();
}

} // namespace quorvel
