#pragma once

#include <optional>
#include <string>
#include <string_view>

// The radio's "PC" command: query, reply and set command share the layout
// "PC" + three power digits + range flag + ";". Flag "0" is the low-power range (digits count
// tenths of a watt), flag "1" the high-power range (digits count whole watts).
namespace quorvel {

constexpr std::string_view kPowerQuery = "PC;";

// The radio adds the range flag to its "PC" reply only in its extended K2 command mode; in the
// basic mode, which it starts in, the reply is "PCnnn;" and the panel could show nothing from it.
// Sent once each time the line opens. Programs that share the radio (Hamlib's K3 backend among
// them) ask for the same mode.
constexpr std::string_view kExtendedModeCommand = "K22;";

inline std::string queryText() {
    return std::string(kPowerQuery);
}

struct ReplyFields {
    std::string digits; // characters 3 to 5 (fewer when the reply is short)
    std::string flag;   // character 6, empty when the reply is shorter
};

// Fields by position alone; the first two characters are not looked at.
ReplyFields replyFields(std::string_view framedReply);

// Slider rule: pads by the value. 0..8 low range, 9..100 high range, anything else no command.
std::optional<std::string> sliderCommand(long long watts);

// Typed-entry rule: pads by the number of characters typed and copies them as they stand, so
// it can yield commands whose digit field is not three digits (see isWellFormedPowerMessage). A
// three-character text below 9 W gives a command only when it is digit, point, digit.
std::optional<std::string> typedCommand(std::string_view typed);

// True for "PC" + three decimal digits + "0" or "1" + ";": the only set commands the radio takes,
// and the only replies that carry a power the panel can show.
bool isWellFormedPowerMessage(std::string_view command);

} // namespace quorvel
