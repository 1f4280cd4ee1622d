#include "link/RadioRoute.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace quorvel {

namespace {

constexpr std::array<std::pair<std::string_view, RadioRoute::Kind>, 3> kNetworkKinds = {{
    {"tcp", RadioRoute::Kind::Tcp},
    {"rigctld", RadioRoute::Kind::Rigctld},
    {"flrig", RadioRoute::Kind::Flrig},
}};

bool sameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == y;
           });
}

bool isHostNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-' || c == '_';
}

bool isAddressSixCharacter(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
}

std::optional<std::uint16_t> portNumber(std::string_view text) {
    constexpr std::size_t kMaxDigits = 5;
    constexpr unsigned kMaxPort = 65535;
    if (text.empty() || text.size() > kMaxDigits ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char c : text) {
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > kMaxPort) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

} // namespace

std::optional<RadioRoute> parseRadioRoute(std::string_view text) {
    if (text.size() > 1 && text.front() == '/') {
        if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
            return std::nullopt;
        }
        return RadioRoute{RadioRoute::Kind::Device, {}, 0, std::string(text)};
    }
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const auto kind = std::find_if(kNetworkKinds.begin(), kNetworkKinds.end(),
                                   [&](const auto& entry) { return sameLetters(text.substr(0, colon), entry.first); });
    if (kind == kNetworkKinds.end()) {
        return std::nullopt;
    }
    const std::string_view rest = text.substr(colon + 1);
    const std::size_t portColon = rest.rfind(':');
    if (portColon == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view host = rest.substr(0, portColon);
    const std::optional<std::uint16_t> port = portNumber(rest.substr(portColon + 1));
    if (!port) {
        return std::nullopt;
    }
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        if (host.find(':') == std::string_view::npos || !std::all_of(host.begin(), host.end(), isAddressSixCharacter)) {
            return std::nullopt;
        }
    } else if (host.empty() || !std::all_of(host.begin(), host.end(), isHostNameCharacter)) {
        return std::nullopt;
    }
    return RadioRoute{kind->second, std::string(host), *port, {}};
}

std::string radioRouteText(const RadioRoute& route) {
    if (route.kind == RadioRoute::Kind::Device) {
        return route.device;
    }
    const auto kind = std::find_if(kNetworkKinds.begin(), kNetworkKinds.end(),
                                   [&](const auto& entry) { return entry.second == route.kind; });
    const std::string host = route.host.find(':') != std::string::npos ? "[" + route.host + "]" : route.host;
    return std::string(kind->first) + ":" + host + ":" + std::to_string(route.port);
}

} // namespace quorvel
