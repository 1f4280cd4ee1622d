#include "share/ShareAddress.h"

#include <algorithm>
#include <charconv>

namespace quorvel {

std::optional<ShareAddress> parseShareAddress(std::string_view text) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view host = text.substr(0, colon);
    const std::string_view portText = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string_view::npos) {
        return std::nullopt; // an IPv6 address needs its brackets, or its port is ambiguous
    }
    const bool hostChars = std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == '.' || c == ':';
    });
    unsigned port = 0;
    const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (host.empty() || !hostChars || portText.empty() || error != std::errc{} ||
        end != portText.data() + portText.size() || port == 0 || port > 65535) {
        return std::nullopt;
    }
    return ShareAddress{std::string(host), static_cast<std::uint16_t>(port)};
}

} // namespace quorvel
