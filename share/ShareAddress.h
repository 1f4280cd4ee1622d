#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// Where the network door listens: "ADDRESS:PORT", the address a numeric IPv4 address or an IPv6
// address in brackets ("[::1]:7373"). Names are not looked up: a door must open the same way
// whether or not a name server answers.
struct ShareAddress {
    std::string host; // without the brackets
    std::uint16_t port = 0;

    friend bool operator==(const ShareAddress&, const ShareAddress&) = default;
};

// The door offered when the operator has chosen none: this machine only, on a port no common
// station program listens on.
constexpr std::string_view kDefaultShareAddress = "127.0.0.1:7373";

// Nothing when the text is not an address and a port from 1 to 65535.
std::optional<ShareAddress> parseShareAddress(std::string_view text);

} // namespace quorvel
