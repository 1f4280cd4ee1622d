#include "link/SerialDevices.h"

#include <algorithm>
#include <cctype>
#include <tuple>

namespace quorvel {

namespace {

std::string baseName(std::string_view path) {
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// ttyUSB and ttyACM are plugged in and likelier to be the radio's than a built-in ttyS.
int kindRank(const std::string& name) {
    if (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0) {
        return 0;
    }
    return name.rfind("ttyS", 0) == 0 ? 2 : 1;
}

// "ttyS10" after "ttyS2": the stem, then the trailing number as a number.
std::tuple<int, std::string, unsigned long, std::string> sortKey(const std::string& path) {
    const std::string name = baseName(path);
    auto digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1])) != 0) {
        --digits;
    }
    const std::string number = name.substr(digits);
    const unsigned long value = number.empty() || number.size() > 9 ? 0 : std::stoul(number);
    return {kindRank(name), name.substr(0, digits), value, name};
}

std::string joined(const std::string& first, const std::string& second) {
    return second.empty() ? first : first + " \xE2\x80\x94 " + second;
}

} // namespace

std::string byIdProductText(std::string_view name) {
    // udev's form: <bus>-<ID_SERIAL>[-if<interface>][-port<number>].
    const auto dropSuffix = [&name](std::string_view marker, bool hex) {
        const auto at = name.rfind(marker);
        if (at == std::string_view::npos || at + marker.size() == name.size()) {
            return;
        }
        const std::string_view rest = name.substr(at + marker.size());
        const bool allDigits = std::all_of(rest.begin(), rest.end(), [hex](char c) {
            return hex ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                       : std::isdigit(static_cast<unsigned char>(c)) != 0;
        });
        if (allDigits) {
            name = name.substr(0, at);
        }
    };
    dropSuffix("-port", false);
    dropSuffix("-if", true);
    const auto dash = name.find('-');
    if (dash != std::string_view::npos && dash > 0 &&
        std::all_of(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(dash),
                    [](char c) { return std::islower(static_cast<unsigned char>(c)) != 0; })) {
        name = name.substr(dash + 1);
    }
    std::string text(name);
    std::replace(text.begin(), text.end(), '_', ' ');
    return text;
}

std::vector<SerialDevice> offeredSerialDevices(const std::vector<ByIdName>& byId,
                                               const std::vector<SystemSerialPort>& others) {
    std::vector<ByIdName> names = byId;
    std::sort(names.begin(), names.end(), [](const ByIdName& a, const ByIdName& b) { return a.path < b.path; });
    std::vector<SerialDevice> offered;
    for (const ByIdName& name : names) {
        std::string shown = name.product.empty() ? byIdProductText(baseName(name.path)) : name.product;
        const std::string node = name.node.rfind("/dev/", 0) == 0 ? name.node.substr(5) : name.node;
        if (!node.empty()) {
            shown.append(" (").append(node).append(")");
        }
        offered.push_back({name.path, joined(shown, baseName(name.path))});
    }

    std::vector<SystemSerialPort> rest;
    for (const SystemSerialPort& port : others) {
        const bool named =
            std::any_of(names.begin(), names.end(), [&](const ByIdName& n) { return n.node == port.path; });
        const bool twice =
            std::any_of(rest.begin(), rest.end(), [&](const SystemSerialPort& p) { return p.path == port.path; });
        if (!named && !twice) {
            rest.push_back(port);
        }
    }
    std::sort(rest.begin(), rest.end(),
              [](const SystemSerialPort& a, const SystemSerialPort& b) { return sortKey(a.path) < sortKey(b.path); });
    for (const SystemSerialPort& port : rest) {
        offered.push_back({port.path, joined(port.path, port.description)});
    }
    return offered;
}

} // namespace quorvel
