#include "bench/LatencyStats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

namespace quorvel::bench {
namespace {

std::vector<double> oneTo(int n) {
    std::vector<double> values(static_cast<std::size_t>(n));
    std::iota(values.begin(), values.end(), 1.0);
    // Measurements arrive in no order; the figures must not depend on it.
    std::shuffle(values.begin(), values.end(), std::mt19937(12345));
    return values;
}

struct StatsCase {
    const char* name;
    std::vector<double> samples;
    LatencyStats expected;
};

TEST(LatencyStats, PercentilesAreSamplesOfNearestRank) {
    const std::vector<StatsCase> cases = {
        {"no samples", {}, {0, 0, 0, 0, 0, 0, 0}},
        {"one sample", {7}, {1, 7, 7, 7, 7, 7, 7}},
        {"three: median is the middle one", {3, 1, 2}, {3, 1, 2, 3, 3, 3, 2}},
        {"four: median is the lower middle", {4, 1, 3, 2}, {4, 1, 2, 4, 4, 4, 2.5}},
        {"ten: p90 is the ninth", oneTo(10), {10, 1, 5, 9, 10, 10, 5.5}},
        {"a hundred", oneTo(100), {100, 1, 50, 90, 99, 100, 50.5}},
        {"a thousand: p99 is the 990th", oneTo(1000), {1000, 1, 500, 900, 990, 1000, 500.5}},
    };
    for (const StatsCase& c : cases) {
        SCOPED_TRACE(c.name);
        const LatencyStats got = summarize(c.samples);
        EXPECT_EQ(got.count, c.expected.count);
        EXPECT_DOUBLE_EQ(got.min, c.expected.min);
        EXPECT_DOUBLE_EQ(got.p50, c.expected.p50);
        EXPECT_DOUBLE_EQ(got.p90, c.expected.p90);
        EXPECT_DOUBLE_EQ(got.p99, c.expected.p99);
        EXPECT_DOUBLE_EQ(got.max, c.expected.max);
        EXPECT_DOUBLE_EQ(got.mean, c.expected.mean);
    }
}

TEST(LatencyStats, RowShowsEachFigureInItsColumn) {
    const std::string row = statsRow("shown", summarize({100, 200.25, 300}));
    EXPECT_EQ(row.rfind("shown", 0), 0U);
    EXPECT_NE(row.find("      3     100.0     200.2     300.0     300.0     300.0     200.1"), std::string::npos)
        << row;
    EXPECT_EQ(statsHeader("us").size(), statsRow("x", {}).size() + std::string("   (us)").size());
}

} // namespace
} // namespace quorvel::bench
