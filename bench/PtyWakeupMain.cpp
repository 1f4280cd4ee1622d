// pty_wakeup: the floor under reply_latency's "line to loop". The same pseudo-terminal, radio
// thread and timing, but on the program's side a bare thread blocked in poll() instead of the
// program and its event loop: whatever wake-up delay shows here belongs to the machine.
#include "bench/LatencyStats.h"
#include "bench/RadioEnd.h"
#include "bench/RunOptions.h"
#include "sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace quorvel::bench;
using namespace std::chrono_literals;

constexpr int kReplyTimeoutMs = 2000;

int run(const RunOptions& options) {
    quorvel::sim::PseudoTerminal pty;
    const int line = ::open(pty.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line < 0) {
        std::fprintf(stderr, "pty_wakeup: opening %s: %s\n", pty.devicePath().c_str(), std::strerror(errno));
        return 1;
    }
    RadioEnd radio(pty.masterFd(), {{"PC0501;", 50}, {"PC0551;", 55}}, options.turnaround);
    radio.arm();

    std::vector<double> woken;
    auto next = RadioEnd::Clock::now();
    for (std::size_t i = 0; i < options.warmUp + options.replies; ++i) {
        // The poll timer's own beat, as the program keeps it; nothing here waits for the radio.
        next += options.interval;
        std::this_thread::sleep_until(next);
        if (::write(line, "PC;", 3) != 3) {
            std::fprintf(stderr, "pty_wakeup: writing the query: %s\n", std::strerror(errno));
            ::close(line);
            return 1;
        }
        pollfd fd{line, POLLIN, 0};
        const int ready = ::poll(&fd, 1, kReplyTimeoutMs);
        const auto now = RadioEnd::Clock::now();
        const std::optional<RadioEnd::InFlight> flight = radio.inFlight();
        char reply[64];
        while (::read(line, reply, sizeof reply) > 0) {
        }
        if (ready != 1 || !flight) {
            std::fprintf(stderr, "pty_wakeup: no reply to query %zu\n", i + 1);
            ::close(line);
            return 1;
        }
        radio.seen(flight->number);
        if (i >= options.warmUp) {
            woken.push_back(std::chrono::duration<double, std::micro>(now - flight->written).count());
        }
    }
    ::close(line);

    std::printf("Reply to a bare reader on the same line: poll interval %lld ms, radio turnaround %lld us\n",
                static_cast<long long>(options.interval.count()), static_cast<long long>(options.turnaround.count()));
    std::printf("%s\n", statsHeader("microseconds").c_str());
    std::printf("%s\n", statsRow("line to reader", summarize(woken)).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const ParsedRunOptions parsed = parseRunOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.help) {
        std::fputs("Usage: pty_wakeup [--replies N] [--warm-up N] [--interval MS] [--turnaround US]\n"
                   "The wake-up floor of the machine: reply_latency's line and radio with a bare reader.\n",
                   stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "pty_wakeup: %s\n", parsed.error.c_str());
        return 2;
    }
    try {
        return run(*parsed.options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pty_wakeup: %s\n", e.what());
        return 1;
    }
}
