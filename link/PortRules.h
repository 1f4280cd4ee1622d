#pragma once

#include "link/UserFolders.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

constexpr int kPortCount = 16;
constexpr std::string_view kLineSettings = "38400,N,8,1";
constexpr std::string_view kInvalidPortMessage = "Invalid COM port selected, please select a valid COM port.";
constexpr std::string_view kNoPollPortMessage = "Cannot poll unless a valid com port is selected first.";

// The poll timer's interval until the settings say otherwise, and how long the link may stay
// silent before its lamp turns red.
constexpr auto kDefaultPollInterval = std::chrono::milliseconds{500};
constexpr auto kWatchdogInterval = std::chrono::milliseconds{11000};

// The port menu item to tick for a port text: its numeric value compared with 1..16, so "07"
// ticks Com7 and "2.5" or "20" tick none. A text that is not a number raises "Type mismatch".
std::optional<int> portItemFor(std::string_view port);

// The port number the serial component is given: the leading number of the text, rounded ties to
// even, as a 16-bit integer ("Overflow" beyond that).
std::int16_t commPortFor(std::string_view port);

// Where to look for the device behind "Com N" on a Unix desktop, in order: the program's own
// mapping folder (a symlink per port), the COM mapping Windows radio programs already use under
// wine, then the N-th built-in serial port.
struct PortSearchDirs {
    std::string mappingDir;     // e.g. ~/.config/Quorvel/ports
    std::string wineDosDevices; // e.g. ~/.wine/dosdevices
};
std::vector<std::string> portDeviceCandidates(int port, const PortSearchDirs& dirs);

// The same folders for the user's folders (each empty when its folder is unknown).
PortSearchDirs portSearchDirs(const UserFolders& folders);

} // namespace quorvel
