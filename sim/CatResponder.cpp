#include "sim/CatResponder.h"

#include <cstddef>

namespace quorvel::sim {

namespace {

constexpr std::string_view kQuery = "PC;";
constexpr std::string_view kRefused = "?;";
constexpr std::size_t kSetLength = 7; // "PC" + nnn + r + ";"

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<RadioPower> parseSet(std::string_view frame) {
    if (frame.size() != kSetLength || frame.substr(0, 2) != "PC" || frame.back() != ';') {
        return std::nullopt;
    }
    for (std::size_t i = 2; i < 6; ++i) {
        if (!isDigit(frame[i])) {
            return std::nullopt;
        }
    }
    RadioPower power;
    power.digits = (frame[2] - '0') * 100 + (frame[3] - '0') * 10 + (frame[4] - '0');
    power.range = frame[5] - '0';
    if (!isValidPower(power)) {
        return std::nullopt;
    }
    return power;
}

} // namespace

bool isValidPower(const RadioPower& power) {
    if (power.digits < 0) {
        return false;
    }
    switch (power.range) {
    case 0:
        return power.digits <= kLowRangeMaxDigits;
    case 1:
        return power.digits <= kHighRangeMaxDigits;
    default:
        return false;
    }
}

std::string powerReply(const RadioPower& power) {
    std::string reply = "PC000";
    reply[2] = static_cast<char>('0' + power.digits / 100 % 10);
    reply[3] = static_cast<char>('0' + power.digits / 10 % 10);
    reply[4] = static_cast<char>('0' + power.digits % 10);
    reply += static_cast<char>('0' + power.range);
    reply += ';';
    return reply;
}

CatAnswer answer(const RadioPower& power, std::string_view frame, Behaviour behaviour) {
    if (behaviour == Behaviour::Busy) {
        return {std::string(kRefused), power};
    }
    if (frame == kQuery) {
        return {powerReply(power), power};
    }
    if (const auto set = parseSet(frame)) {
        return {std::nullopt, *set};
    }
    return {std::string(kRefused), power};
}

} // namespace quorvel::sim
