#include "link/PortRules.h"

#include "link/TextNumbers.h"

namespace quorvel {

std::optional<int> portItemFor(std::string_view port) {
    const double value = numericValue(port);
    for (int i = 1; i <= kPortCount; ++i) {
        if (value == i) {
            return i;
        }
    }
    return std::nullopt;
}

std::int16_t commPortFor(std::string_view port) {
    return toInt16(roundHalfEven(leadingNumber(port)));
}

std::vector<std::string> portDeviceCandidates(int port, const PortSearchDirs& dirs) {
    std::vector<std::string> candidates;
    if (port < 1) {
        return candidates;
    }
    const std::string name = "com" + std::to_string(port);
    if (!dirs.mappingDir.empty()) {
        candidates.push_back(dirs.mappingDir + "/" + name);
    }
    if (!dirs.wineDosDevices.empty()) {
        candidates.push_back(dirs.wineDosDevices + "/" + name);
    }
    candidates.push_back("/dev/ttyS" + std::to_string(port - 1));
    return candidates;
}

PortSearchDirs portSearchDirs(std::string_view home, std::string_view xdgConfigHome) {
    PortSearchDirs dirs;
    std::string config;
    // XDG says a relative XDG_CONFIG_HOME is invalid and must be ignored.
    if (!xdgConfigHome.empty() && xdgConfigHome.front() == '/') {
        config = std::string(xdgConfigHome);
    } else if (!home.empty()) {
        config = std::string(home) + "/.config";
    }
    if (!config.empty()) {
        dirs.mappingDir = config + "/Quorvel/ports";
    }
    if (!home.empty()) {
        dirs.wineDosDevices = std::string(home) + "/.wine/dosdevices";
    }
    return dirs;
}

} // namespace quorvel
