#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::bench {

// The command line of the reply latency run.
struct RunOptions {
    std::size_t replies = 400;               // replies timed
    std::size_t warmUp = 10;                 // replies shown first and not timed
    std::chrono::milliseconds interval{500}; // the poll interval the program is set to
    std::chrono::microseconds turnaround{0}; // the radio's time from query to reply
    std::string samplesFile;                 // where to write every timed reply as CSV; empty: nowhere
};

struct ParsedRunOptions {
    std::optional<RunOptions> options; // empty on an error and for --help
    bool help = false;
    std::string error;
};

// The arguments without the program name. Qt's own single-dash arguments (-platform ...) are not
// ours and are passed over; an unknown "--" option is an error.
ParsedRunOptions parseRunOptions(const std::vector<std::string>& args);

std::string runUsage();

} // namespace quorvel::bench
