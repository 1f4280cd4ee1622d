#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace quorvel::sim {

// One line of the simulator's output: "<seconds> <kind> <text>", seconds of the monotonic clock
// with six decimals, so a test can relate them to its own clock. Characters that would break the
// line apart are written as \xNN, a backslash as \\.
std::string exchangeLine(std::chrono::steady_clock::duration sinceEpoch, std::string_view kind, std::string_view text);

// Writes the line to stdout at once: a test reads it while the simulator runs.
void printExchange(std::string_view kind, std::string_view text);

} // namespace quorvel::sim
