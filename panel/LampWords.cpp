#include "panel/LampWords.h"

#include "link/PortRules.h"

#include <chrono>

namespace quorvel {

std::string lampName(LampRole role) {
    return role == LampRole::Link ? "K3 Con, link to the radio" : "PA On, power range";
}

std::string lampStateWords(LampRole role, std::optional<Color> fill) {
    if (role == LampRole::Link) {
        // The link lamp only ever turns green (a reply came) or red (the watchdog fired).
        if (fill == kGreen) {
            return "Replies arriving";
        }
        if (fill == kRed) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(kWatchdogInterval).count();
            return "No reply for " + std::to_string(seconds) + " seconds";
        }
        return "Link not checked yet";
    }
    if (!fill) {
        return "Range not known yet";
    }
    return *fill == kGreen ? "High-power range" : "Low-power range";
}

} // namespace quorvel
