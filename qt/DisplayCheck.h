#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quorvel {

// Where Qt will try to put the window, from the environment.
struct DisplayEnvironment {
    std::string qpaPlatform;    // QT_QPA_PLATFORM: Qt's platform, or several separated by ";"
    std::string x11Display;     // DISPLAY
    std::string waylandDisplay; // WAYLAND_DISPLAY: a socket name in XDG_RUNTIME_DIR, or a path
    std::string runtimeDir;     // XDG_RUNTIME_DIR
};

// Whether a connection can be made: to an X display by its name, to a Wayland socket by its path.
struct DisplayProbes {
    std::function<bool(const std::string& display)> x11;
    std::function<bool(const std::string& socketPath)> wayland;
};

// Qt ends a program that finds no display with an abort and a hint to reinstall it; asked first,
// the program can say in one line what is missing. Empty when one of the platforms Qt will try
// can be reached, or when Qt is told to use one that needs no display server (offscreen, a
// framebuffer...), which is Qt's own business. Without QT_QPA_PLATFORM Qt tries X11 or Wayland.
std::optional<std::string> displayProblem(const DisplayEnvironment& env, const DisplayProbes& probes);

DisplayEnvironment currentDisplayEnvironment();

// Real connections: an X11 handshake through xcb, a connect() to the Wayland socket.
DisplayProbes systemDisplayProbes();

} // namespace quorvel
