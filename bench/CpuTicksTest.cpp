#include "bench/CpuTicks.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quorvel::bench {
namespace {

struct TicksCase {
    const char* name;
    std::string text;
    std::optional<long long> expected;
};

TEST(CpuTicks, MachineBusyCountsEveryStateButIdleAndIoWait) {
    const std::vector<TicksCase> cases = {
        // user nice system idle iowait irq softirq steal guest guest_nice
        {"all fields", "cpu  100 20 30 9999 7777 4 5 6 0 0\ncpu0 1 2 3 4 5 6 7 8 9 10\n", 165},
        {"no steal column (old kernels)", "cpu  100 20 30 9999 7777 4 5\n", 159},
        {"a per-processor line is not the total", "cpu0 1 2 3 4 5 6 7 8\n", std::nullopt},
        {"too few fields", "cpu  1 2 3\n", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const TicksCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(machineBusyTicks(c.text), c.expected);
    }
}

TEST(CpuTicks, ProcessTicksAreUserPlusSystemTime) {
    const std::string tail = " S 1 2 3 0 -1 4194560 500 0 0 0 37 5 0 0 20 0 3 0 100 1000 50\n";
    const std::vector<TicksCase> cases = {
        {"plain name", "1234 (quorvel)" + tail, 42},
        // A thread may name itself anything, blanks and parentheses included.
        {"name with blanks and a parenthesis", "1234 (Thread (pooled) x)" + tail, 42},
        {"cut short before stime", "1234 (quorvel) S 1 2 3 0 -1 4194560 500 0 0 0 37\n", std::nullopt},
        {"no name", "1234 quorvel S 1 2 3", std::nullopt},
    };
    for (const TicksCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(processTicks(c.text), c.expected);
    }
}

TEST(CpuTicks, OthersShareLeavesOwnTimeOut) {
    // 2 processors for 10 s at 100 ticks a second: 2000 ticks to give.
    const CpuTicks before{1000, 50};
    const CpuTicks after{1600, 150};
    // 600 busy, 100 of them ours: 500 of 2000.
    EXPECT_DOUBLE_EQ(othersPercent(before, after, 10.0, 100, 2), 25.0);
    // Counters read a tick apart can make our own share look larger than the machine's.
    EXPECT_DOUBLE_EQ(othersPercent({1000, 50}, {1010, 70}, 10.0, 100, 2), 0.0);
    EXPECT_DOUBLE_EQ(othersPercent(before, after, 0.0, 100, 2), 0.0);
}

TEST(CpuTicks, ReadsThisMachine) {
    const CpuTicks now = readCpuTicks();
    EXPECT_GT(now.machineBusy, 0);
    EXPECT_GE(now.machineBusy, now.own);
}

} // namespace
} // namespace quorvel::bench
