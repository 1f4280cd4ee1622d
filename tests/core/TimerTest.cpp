// The window timer's own rules: which intervals it takes and when its count starts afresh.
#include "tests/fakes/ErrorNumber.h"
#include "tests/fakes/FakeControls.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using fakes::errorNumberOf;
using fakes::FakeTimer;

TEST(Timer, TakesIntervalsFromZeroTo65535AndRefusesTheRest) {
    struct Case {
        long long interval;
        int error;
    };
    const Case cases[] = {
        {0, 0},
        {1, 0},
        {500, 0},
        {65535, 0},
        {65536, err::kInvalidPropertyValue},
        {-1, err::kInvalidPropertyValue},
        {100000, err::kInvalidPropertyValue},
    };
    for (const Case& c : cases) {
        FakeTimer timer{std::chrono::milliseconds{500}};

        EXPECT_EQ(errorNumberOf([&] { timer.setInterval(c.interval); }), c.error) << c.interval;

        const long long kept = c.error == 0 ? c.interval : 500;
        EXPECT_EQ(timer.interval().count(), kept) << c.interval;
        EXPECT_TRUE(timer.enabled());
        // A new interval starts the count afresh; 0 stops the ticks, and a refused one changes nothing.
        EXPECT_EQ(timer.restarts, c.error == 0 && c.interval > 0 ? 1 : 0) << c.interval;
    }
}

TEST(Timer, CountStartsAfreshOnlyWhenSomethingChanges) {
    FakeTimer timer{std::chrono::milliseconds{500}};

    timer.setEnabled(true); // already running: the count goes on
    EXPECT_EQ(timer.restarts, 0);
    timer.setEnabled(false);
    timer.setEnabled(true);
    EXPECT_EQ(timer.restarts, 1);
    timer.setInterval(500);
    EXPECT_EQ(timer.restarts, 2);
    timer.setEnabled(false);
    timer.setInterval(1000); // stopped: nothing to count
    EXPECT_EQ(timer.restarts, 2);
}

} // namespace
} // namespace quorvel
