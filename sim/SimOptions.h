#pragma once

#include "sim/CatResponder.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::sim {

struct SimOptions {
    int port = 1;
    std::string dir; // mapping folder; empty: the program's own default
    RadioPower power;
    bool silent = false;
    bool busy = false;
    PowerReplies powerReplies = PowerReplies::Extended;
    std::optional<std::string> fixedAnswer; // answered to every frame instead of the radio's reply
    bool split = false;
    std::chrono::milliseconds delay{0};
    std::optional<std::chrono::milliseconds> silentAfter;
    std::optional<std::chrono::milliseconds> unplugAfter; // counted from each plugging in
    std::optional<std::chrono::milliseconds> replugAfter; // counted from each unplugging
    std::optional<std::chrono::milliseconds> quitAfter;
};

struct ParsedOptions {
    std::optional<SimOptions> options; // empty on an error, for --help and for --version
    bool help = false;
    bool version = false;
    std::string error;
};

// The command line without the program name.
ParsedOptions parseSimOptions(const std::vector<std::string>& args);

std::string simUsage();

} // namespace quorvel::sim
