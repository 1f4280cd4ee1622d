#include "bench/RunOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel::bench {
namespace {

struct GoodCase {
    std::vector<std::string> args;
    std::size_t replies;
    std::size_t warmUp;
    long long intervalMs;
    long long turnaroundUs;
    std::string samplesFile;
};

TEST(RunOptions, TakesOurOptionsAndPassesOverQtOnes) {
    const std::vector<GoodCase> cases = {
        {{}, 400, 10, 500, 0, ""},
        {{"--replies", "50", "--warm-up", "0", "--interval", "1000"}, 50, 0, 1000, 0, ""},
        {{"-platform", "offscreen", "--replies", "5"}, 5, 10, 500, 0, ""},
        {{"--interval", "500"}, 400, 10, 500, 0, ""},
        {{"--interval", "10000"}, 400, 10, 10000, 0, ""},
        {{"--replies", "1"}, 1, 10, 500, 0, ""},
        {{"--turnaround", "3000", "--samples", "out.csv"}, 400, 10, 500, 3000, "out.csv"},
        {{"--turnaround", "100000"}, 400, 10, 500, 100000, ""},
    };
    for (const GoodCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ParsedRunOptions parsed = parseRunOptions(c.args);
        ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
        EXPECT_EQ(parsed.options->replies, c.replies);
        EXPECT_EQ(parsed.options->warmUp, c.warmUp);
        EXPECT_EQ(parsed.options->interval.count(), c.intervalMs);
        EXPECT_EQ(parsed.options->turnaround.count(), c.turnaroundUs);
        EXPECT_EQ(parsed.options->samplesFile, c.samplesFile);
    }
}

TEST(RunOptions, RefusesValuesOutsideTheirRange) {
    const std::vector<std::vector<std::string>> cases = {
        {"--interval", "499"},   // below the program's own lowest interval
        {"--interval", "10001"}, // above its highest
        {"--replies", "0"},      // nothing to time
        {"--replies"},           // value missing
        {"--replies", "5x"},     // not a whole number
        {"--replies", "-3"},
        {"--warm-up", "1.5"},
        {"--turnaround", "100001"}, // a tenth of a second is already no radio
        {"--samples"},
        {"--samples", ""},
        {"--replies", "--warm-up"}, // an option where the value should be
        {"--bogus"},                // a misspelt option must not be passed over silently
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        const ParsedRunOptions parsed = parseRunOptions(args);
        EXPECT_FALSE(parsed.options.has_value());
        EXPECT_FALSE(parsed.error.empty());
    }
}

TEST(RunOptions, HelpWinsOverEverythingElse) {
    const ParsedRunOptions parsed = parseRunOptions({"--replies", "5", "--help", "--bogus"});
    EXPECT_TRUE(parsed.help);
    EXPECT_FALSE(parsed.options.has_value());
}

} // namespace
} // namespace quorvel::bench
