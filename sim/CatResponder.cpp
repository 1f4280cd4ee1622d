#include "sim/CatResponder.h"

#include <cstddef>
#include <utility>

namespace quorvel::sim {

namespace {

constexpr std::string_view kRefused = "?;";
constexpr std::size_t kSetLength = 7; // "PC" + nnn + r + ";"

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view text) {
    for (const char c : text) {
        if (!isDigit(c)) {
            return false;
        }
    }
    return !text.empty();
}

std::optional<RadioPower> parseSet(std::string_view frame) {
    if (frame.size() != kSetLength || frame.substr(0, 2) != "PC" || frame.back() != ';') {
        return std::nullopt;
    }
    if (!allDigits(frame.substr(2, 4))) {
        return std::nullopt;
    }
    RadioPower power;
    power.digits = (frame[2] - '0') * 100 + (frame[3] - '0') * 10 + (frame[4] - '0');
    power.range = frame[5] - '0';
    if (!isValidPower(power)) {
        return std::nullopt;
    }
    return power;
}

// A new value must have the shape of the one the radio reports: digits where it has digits, a
// sign where it has a sign, and the same fixed characters (the space in "IS 1500") elsewhere.
bool sameShape(std::string_view now, std::string_view next) {
    if (now.size() != next.size()) {
        return false;
    }
    for (std::size_t i = 0; i < now.size(); ++i) {
        const bool sign = now[i] == '+' || now[i] == '-';
        const bool ok = isDigit(now[i]) ? isDigit(next[i])
                        : sign          ? next[i] == '+' || next[i] == '-'
                                        : next[i] == now[i];
        if (!ok) {
            return false;
        }
    }
    return true;
}

// Switch emulation ("SWT49;" taps a front-panel switch): taken, never answered.
bool isSwitchEmulation(std::string_view frame) {
    const std::string_view name = frame.substr(0, 3);
    if (frame.size() < 6 || frame.size() > 7 || (name != "SWT" && name != "SWH")) {
        return false;
    }
    return allDigits(frame.substr(3, frame.size() - 4));
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

CatRadio::CatRadio(RadioPower power, PowerReplies replies) : m_power(power), m_replies(replies) {
    // A K3 with its 100 W amplifier and tuner, on 20 m in USB with a 2.7 kHz filter. "$" names the
    // sub receiver's copy of a setting.
    const std::pair<const char*, Setting> settings[] = {
        {"AG", {"100", true}},
        {"AG$", {"100", true}},
        {"AI", {"0", true}},
        {"AN", {"1", true}},
        {"BN", {"05", true}},
        {"BN$", {"05", true}},
        {"BW", {"0270", true}},
        {"BW$", {"0270", true}},
        {"CP", {"010", true}},
        {"DT", {"0", true}},
        {"FA", {"00014200000", true}},
        {"FB", {"00014200000", true}},
        {"FR", {"0", true}},
        {"FT", {"0", true}},
        {"GT", {"004", true}},
        {"ID", {"017", false}},
        {"IS", {" 1500", true}},
        // Command modes: extended K2 commands and K3 extensions, both off until a program asks.
        {"K2", {"0", true}},
        {"K3", {"0", true}},
        {"KS", {"020", true}},
        {"LK", {"0", true}},
        {"MD", {"2", true}},
        {"MD$", {"2", true}},
        {"MG", {"030", true}},
        {"ML", {"010", true}},
        {"NB", {"0", true}},
        {"NB$", {"0", true}},
        {"OM", {" AP----------", false}},
        {"PA", {"0", true}},
        {"PA$", {"0", true}},
        {"PS", {"1", true}},
        {"RA", {"00", true}},
        {"RA$", {"00", true}},
        {"RG", {"250", true}},
        {"RG$", {"250", true}},
        {"RT", {"0", true}},
        {"RVM", {"05.67", false}},
        {"RVD", {"02.85", false}},
        {"SB", {"0", true}},
        {"SM", {"0005", false}},
        {"SM$", {"0000", false}},
        {"SQ", {"000", true}},
        {"SQ$", {"000", true}},
        {"TQ", {"0", false}},
        {"XT", {"0", true}},
    };
    for (const auto& [name, setting] : settings) {
        m_settings.emplace(name, setting);
    }
}

std::string CatRadio::value(std::string_view name) const {
    const auto found = m_settings.find(name);
    return found == m_settings.end() ? std::string() : found->second.value;
}

// "IF" + frequency + five spaces + RIT/XIT offset + RIT + XIT + " 00" + transmitting + mode +
// receive VFO + scanning + split + band-change flag + data sub-mode + "1" + " " + ";": 38 characters.
std::string CatRadio::transceiverInformation() const {
    const std::string receiveVfo = value("FR");
    const bool k3Extended = value("K3") != "0";
    std::string reply = "IF";
    reply += value(receiveVfo == "1" ? "FB" : "FA");
    reply += "     +0000";
    reply += value("RT");
    reply += value("XT");
    reply += " 000";
    reply += value("MD");
    reply += receiveVfo;
    reply += '0';
    reply += value("FT") != receiveVfo ? '1' : '0';
    reply += '0';
    reply += k3Extended ? value("DT") : "0";
    reply += "1 ;";
    return reply;
}

std::optional<std::string> CatRadio::answerGet(std::string_view name) const {
    if (name == "PC") {
        // Only the extended K2 modes add the range digit; the basic reply is "PC" + nnn + ";".
        const std::string k2 = value("K2");
        std::string reply = powerReply(m_power);
        if (m_replies == PowerReplies::Basic && k2 != "2" && k2 != "3") {
            reply.erase(reply.size() - 2, 1);
        }
        return reply;
    }
    if (name == "IF") {
        return transceiverInformation();
    }
    // The filter's legacy command reads the bandwidth; in the extended K2 mode it carries a sixth
    // digit that is always 0.
    if (name == "FW" || name == "FW$") {
        const std::string suffix = name.size() > 2 ? "$" : "";
        return std::string(name) + value("BW" + suffix) + (value("K2") != "0" ? "0" : "") + ";";
    }
    const auto found = m_settings.find(name);
    if (found == m_settings.end()) {
        return std::nullopt;
    }
    return std::string(name) + found->second.value + ";";
}

bool CatRadio::takeSet(std::string_view frame) {
    if (const auto set = parseSet(frame)) {
        m_power = *set;
        return true;
    }
    if (isSwitchEmulation(frame)) {
        return true;
    }
    const std::string_view body = frame.substr(0, frame.size() - 1);
    if ((body.substr(0, 2) == "FW") && body.size() >= 2) {
        const bool sub = body.size() > 2 && body[2] == '$';
        const std::string_view width = body.substr(sub ? 3 : 2);
        if (width.size() != 4 || !allDigits(width)) {
            return false;
        }
        m_settings.at(sub ? "BW$" : "BW").value = std::string(width);
        return true;
    }
    // The longest name first, so "MD$2;" sets the sub receiver's mode and not the main's.
    for (const std::size_t length : {3, 2}) {
        if (body.size() <= length) {
            continue;
        }
        const auto found = m_settings.find(body.substr(0, length));
        if (found == m_settings.end()) {
            continue;
        }
        const std::string_view next = body.substr(length);
        if (!found->second.settable || !sameShape(found->second.value, next)) {
            return false;
        }
        found->second.value = std::string(next);
        return true;
    }
    return false;
}

std::optional<std::string> CatRadio::answer(std::string_view frame, Behaviour behaviour) {
    if (behaviour == Behaviour::Busy || frame.size() < 3 || frame.back() != ';') {
        return std::string(kRefused);
    }
    if (auto reply = answerGet(frame.substr(0, frame.size() - 1))) {
        return reply;
    }
    if (takeSet(frame)) {
        return std::nullopt;
    }
    return std::string(kRefused);
}

} // namespace quorvel::sim
