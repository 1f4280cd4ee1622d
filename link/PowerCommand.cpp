#include "link/PowerCommand.h"

#include "link/TextNumbers.h"

#include <algorithm>
#include <vector>

namespace quorvel {

namespace {

bool isOneDigit(std::string_view character) {
    return character.size() == 1 && isDigit(character[0]);
}

} // namespace

ReplyFields replyFields(std::string_view framedReply) {
    ReplyFields fields;
    if (framedReply.size() > 2) {
        fields.digits = std::string(framedReply.substr(2, 3));
    }
    if (framedReply.size() > 5) {
        fields.flag = std::string(framedReply.substr(5, 1));
    }
    return fields;
}

std::optional<std::string> sliderCommand(long long watts) {
    const std::string s = decimalText(watts);
    if (watts >= 0 && watts < 9) {
        return "PC0" + s + "00;";
    }
    if (watts == 9) {
        return "PC00" + s + "1;";
    }
    if (watts > 9 && watts < 100) {
        return "PC0" + s + "1;";
    }
    if (watts == 100) {
        return "PC" + s + "1;";
    }
    return std::nullopt;
}

std::optional<std::string> typedCommand(std::string_view typed) {
    const double x = leadingNumber(typed);
    const auto chars = utf8Characters(typed);
    const std::string t(typed);
    if (x >= 0 && x < 9) {
        if (chars.size() == 1) {
            return "PC0" + t + "00;";
        }
        // Only "d.d" carries tenths. Any other three characters ("005", "1e2", "5,5") would have
        // their middle one dropped and set a power the user never typed.
        if (chars.size() == 3 && isOneDigit(chars[0]) && chars[1] == "." && isOneDigit(chars[2])) {
            return "PC0" + std::string(chars[0]) + std::string(chars[2]) + "0;";
        }
        return std::nullopt;
    }
    if (x >= 9 && x <= 100) {
        switch (chars.size()) {
        case 1:
            return "PC00" + t + "1;";
        case 2:
            return "PC0" + t + "1;";
        case 3:
            return "PC" + t + "1;";
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool isWellFormedPowerMessage(std::string_view command) {
    if (command.size() != 7 || command.substr(0, 2) != "PC" || command.back() != ';') {
        return false;
    }
    const auto digits = command.substr(2, 3);
    const bool allDigits = std::all_of(digits.begin(), digits.end(), [](char c) { return isDigit(c); });
    return allDigits && (command[5] == '0' || command[5] == '1');
}

} // namespace quorvel
