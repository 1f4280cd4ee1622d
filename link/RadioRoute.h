#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// Where the radio's CAT bytes go besides a Com port: a serial device named by its path, raw bytes
// over TCP (ser2net, a terminal server, another Quorvel sharing its radio), or a hub that owns the
// radio's port (rigctld, flrig).
struct RadioRoute {
    enum class Kind { Device, Tcp, Rigctld, Flrig };
    Kind kind = Kind::Device;
    std::string host;       // network routes; an IPv6 address without its brackets
    std::uint16_t port = 0; // network routes, 1..65535
    std::string device;     // Device: the path, as given
    bool operator==(const RadioRoute&) const = default;
};

// The accepted forms, for messages that refuse a route text.
constexpr std::string_view kRadioRouteForms =
    "tcp:HOST:PORT, rigctld:HOST:PORT, flrig:HOST:PORT or a device path such as /dev/ttyUSB0";

// The route a text names, or none when it is not one of the accepted forms. The kind is matched
// without regard to case; an IPv6 host is written in brackets ("tcp:[::1]:4000"). Nothing around
// the text is trimmed: a route from a file or a command line is taken as written.
std::optional<RadioRoute> parseRadioRoute(std::string_view text);

// The route written in the form parseRadioRoute reads back.
std::string radioRouteText(const RadioRoute& route);

} // namespace quorvel
