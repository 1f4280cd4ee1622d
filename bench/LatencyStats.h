#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quorvel::bench {

// The figures a latency run is judged by, in the samples' own unit.
struct LatencyStats {
    std::size_t count = 0;
    double min = 0;
    double p50 = 0;
    double p90 = 0;
    double p99 = 0;
    double max = 0;
    double mean = 0;
};

// Percentiles by nearest rank: each one is a sample that was really measured, never a value
// interpolated between two. All zero for no samples.
LatencyStats summarize(std::vector<double> samples);

// One line of a table: name, count, then min, p50, p90, p99, max and mean, one decimal each.
std::string statsRow(const std::string& name, const LatencyStats& stats);
std::string statsHeader(const std::string& unit);

} // namespace quorvel::bench
