#include "qt/DisplayCheck.h"

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace quorvel {

namespace {

// "wayland;xcb:opt" gives "wayland", "xcb": the names before their options.
std::vector<std::string> platformNames(std::string_view list) {
    std::vector<std::string> names;
    while (!list.empty()) {
        const std::size_t end = list.find(';');
        const std::string_view entry = list.substr(0, end);
        const std::string_view name = entry.substr(0, entry.find(':'));
        if (!name.empty()) {
            names.emplace_back(name);
        }
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
    }
    return names;
}

// The reason this platform cannot show a window, or empty when it can.
std::string x11Problem(const DisplayEnvironment& env, const DisplayProbes& probes) {
    if (env.x11Display.empty()) {
        return "DISPLAY is not set";
    }
    return probes.x11(env.x11Display) ? std::string() : "cannot connect to the X display " + env.x11Display;
}

std::string waylandProblem(const DisplayEnvironment& env, const DisplayProbes& probes) {
    if (env.waylandDisplay.empty()) {
        return "WAYLAND_DISPLAY is not set";
    }
    std::string path = env.waylandDisplay;
    if (path.front() != '/') {
        if (env.runtimeDir.empty()) {
            return "XDG_RUNTIME_DIR is not set for the Wayland display " + env.waylandDisplay;
        }
        path = env.runtimeDir + "/" + path;
    }
    return probes.wayland(path) ? std::string() : "cannot connect to the Wayland display " + path;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool connectsToX11(const std::string& display) {
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool connected = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return connected;
}

bool connectsToSocket(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

} // namespace

std::optional<std::string> displayProblem(const DisplayEnvironment& env, const DisplayProbes& probes) {
    std::vector<std::string> names = platformNames(env.qpaPlatform);
    if (names.empty()) {
        names = {"xcb", "wayland"};
    }
    std::string reasons;
    for (const std::string& name : names) {
        std::string reason;
        if (name == "xcb") {
            reason = x11Problem(env, probes);
        } else if (name.rfind("wayland", 0) == 0) {
            reason = waylandProblem(env, probes);
        }
        if (reason.empty()) {
            return std::nullopt;
        }
        if (reasons.find(reason) == std::string::npos) {
            reasons += (reasons.empty() ? "" : "; ") + reason;
        }
    }
    return "no display to show the window on (" + reasons + ")";
}

DisplayEnvironment currentDisplayEnvironment() {
    return {environment("QT_QPA_PLATFORM"), environment("DISPLAY"), environment("WAYLAND_DISPLAY"),
            environment("XDG_RUNTIME_DIR")};
}

DisplayProbes systemDisplayProbes() {
    return {connectsToX11, connectsToSocket};
}

} // namespace quorvel
