#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

// How the simulated radio answers one CAT frame. The power is modelled exactly: "PC;" asks for
// it, "PCnnnr;" sets it. Besides, the radio keeps the settings that the programs which share a
// station with us (rigctld, flrig) read when they open it and in their polls, so that those
// programs run against the simulator as they would against the radio. The radio answers "?;" to
// whatever it cannot take.
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

// Which power replies a radio gives before any program sets its command mode.
enum class PowerReplies {
    Extended, // always "PCnnnr;", as a radio left in the extended K2 mode by an earlier program
    Basic,    // "PCnnn;" in the basic K2 modes (K20, K21), "PCnnnr;" only in K22 and K23
};

class CatRadio {
public:
    explicit CatRadio(RadioPower power = {}, PowerReplies replies = PowerReplies::Extended);

    // One frame, up to and including its ";", as it arrived (line ends already dropped). Nothing
    // for an accepted set command: the radio stays quiet.
    std::optional<std::string> answer(std::string_view frame, Behaviour behaviour);

    const RadioPower& power() const { return m_power; }

private:
    struct Setting {
        std::string value; // the text between the command's name and ";", as the radio reports it
        bool settable;
    };

    std::optional<std::string> answerGet(std::string_view name) const;
    bool takeSet(std::string_view frame);
    std::string value(std::string_view name) const;
    std::string transceiverInformation() const;

    RadioPower m_power;
    PowerReplies m_replies;
    std::map<std::string, Setting, std::less<>> m_settings;
};

} // namespace quorvel::sim
