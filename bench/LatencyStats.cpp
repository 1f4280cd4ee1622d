#include "bench/LatencyStats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace quorvel::bench {

namespace {

double nearestRank(const std::vector<double>& sorted, double percent) {
    const auto rank = static_cast<std::size_t>(std::ceil(percent / 100.0 * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

} // namespace

LatencyStats summarize(std::vector<double> samples) {
    LatencyStats stats;
    if (samples.empty()) {
        return stats;
    }
    std::sort(samples.begin(), samples.end());
    stats.count = samples.size();
    stats.min = samples.front();
    stats.p50 = nearestRank(samples, 50);
    stats.p90 = nearestRank(samples, 90);
    stats.p99 = nearestRank(samples, 99);
    stats.max = samples.back();
    stats.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(samples.size());
    return stats;
}

std::string statsHeader(const std::string& unit) {
    char line[160];
    std::snprintf(line, sizeof line, "%-14s %6s %9s %9s %9s %9s %9s %9s   (%s)", "", "n", "min", "p50", "p90", "p99",
                  "max", "mean", unit.c_str());
    return line;
}

std::string statsRow(const std::string& name, const LatencyStats& stats) {
    char line[160];
    std::snprintf(line, sizeof line, "%-14s %6zu %9.1f %9.1f %9.1f %9.1f %9.1f %9.1f", name.c_str(), stats.count,
                  stats.min, stats.p50, stats.p90, stats.p99, stats.max, stats.mean);
    return line;
}

} // namespace quorvel::bench
