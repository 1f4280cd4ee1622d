#pragma once

#include <optional>
#include <string>
#include <string_view>

// How the simulated radio answers one CAT frame. Only the power command is modelled: "PC;" asks
// for the power, "PCnnnr;" sets it. The radio answers "?;" to whatever it cannot take.
namespace quorvel::sim {

// The power as the radio keeps it: three digits and the range flag. Range 0 counts tenths of a
// watt (0.0 to 12.0 W), range 1 whole watts (0 to 110 W).
struct RadioPower {
    int digits = 50;
    int range = 1;

    friend bool operator==(const RadioPower&, const RadioPower&) = default;
};

constexpr int kLowRangeMaxDigits = 120;
constexpr int kHighRangeMaxDigits = 110;

// True when the radio could hold this power.
bool isValidPower(const RadioPower& power);

// "PC" + three digits + flag + ";", the radio's answer to "PC;".
std::string powerReply(const RadioPower& power);

enum class Behaviour {
    Normal, // answers like a working radio
    Busy,   // answers "?;" to everything, as the radio does while it is busy
};

struct CatAnswer {
    std::optional<std::string> reply; // nothing for an accepted set command: the radio stays quiet
    RadioPower power;                 // the power after the frame
};

// One frame, up to and including its ";", as it arrived (line ends already dropped).
CatAnswer answer(const RadioPower& power, std::string_view frame, Behaviour behaviour);

} // namespace quorvel::sim
