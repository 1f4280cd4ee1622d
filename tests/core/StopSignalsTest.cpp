// The stop signals on the real process: each case runs in a child of its own, so a signal that
// gets through ends that child with the signal's status and not the test program.
#include "app/StopSignals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace quorvel {
namespace {

// Sends `signal` while a StopSignals lives (with SIGUSR1 named as the simulator names it); exit
// status 0 when it came through the descriptor, or was dropped if `ignoredAtStart`.
int takeOne(int signal, bool ignoredAtStart) {
    if (ignoredAtStart) {
        std::signal(signal, SIG_IGN);
    }
    int taken = 0;
    {
        StopSignals stop{SIGUSR1};
        ::kill(::getpid(), signal);
        taken = stop.take();
    }
    const int expected = ignoredAtStart ? 0 : signal;
    std::fprintf(stderr, "took %d, expected %d\n", taken, expected);
    return taken == expected ? 0 : 1;
}

TEST(StopSignals, ComeThroughTheDescriptorUnlessIgnoredAtStart) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) {
        for (const bool ignoredAtStart : {false, true}) {
            EXPECT_EXIT(std::exit(takeOne(signal, ignoredAtStart)), ::testing::ExitedWithCode(0), "")
                << "signal " << signal << (ignoredAtStart ? ", ignored at start" : "");
        }
    }
}

// TERM then INT within a moment: the first ends the program in order, the second must not end it
// again with its own status once the mask is lifted.
int takeTheFirstOfTwo() {
    int taken = 0;
    {
        StopSignals stop;
        ::kill(::getpid(), SIGTERM);
        ::kill(::getpid(), SIGINT);
        taken = stop.take();
    }
    return taken != 0 ? 0 : 1;
}

TEST(StopSignals, ThoseStillWaitingAtTheEndAreDropped) {
    EXPECT_EXIT(std::exit(takeTheFirstOfTwo()), ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace quorvel
