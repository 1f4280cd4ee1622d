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

PortSearchDirs portSearchDirs(const UserFolders& folders) {
    PortSearchDirs dirs;
    if (!folders.config.empty()) {
        dirs.mappingDir = folders.config + "/Quorvel/ports";
    }
    if (!folders.home.empty()) {
        dirs.wineDosDevices = folders.home + "/.wine/dosdevices";
    }
    return dirs;
}

} // namespace quorvel
