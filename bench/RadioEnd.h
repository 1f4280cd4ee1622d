#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quorvel::bench {

// The radio's end of the line during a latency run: a thread of its own, as the radio is a
// machine of its own, answering each "PC;" that reaches the pseudo-terminal's master. The replies
// take turns, so every one changes what the panel shows. A query is answered only once the
// previous reply has been seen on the panel: two replies in one read would show only the first,
// and the second would never be matched.
class RadioEnd {
public:
    using Clock = std::chrono::steady_clock;

    struct Reply {
        std::string text; // what goes on the line, e.g. "PC0501;"
        int watts;        // what the slider and the power box are to show for it
    };
    struct InFlight {
        std::size_t number; // answered queries counted from 0
        int watts;
        Clock::time_point written; // taken just before the write
    };

    // Starts listening at once, but answers nothing until armed. Each reply goes out `turnaround`
    // after its query has been read: a real radio takes a few milliseconds to hear the query at
    // 38400 baud and answer it, long enough for the program to have gone back to sleep.
    RadioEnd(int masterFd, std::vector<Reply> replies,
             std::chrono::microseconds turnaround); // throws std::runtime_error
    ~RadioEnd();
    RadioEnd(const RadioEnd&) = delete;
    RadioEnd& operator=(const RadioEnd&) = delete;

    void arm();
    void disarm();

    // The reply written and not yet seen on the panel.
    std::optional<InFlight> inFlight() const;
    // The panel shows reply `number`: the next query may be answered.
    void seen(std::size_t number);

    std::size_t queries() const;
    std::size_t answered() const;
    // A failed read or write on the master; empty while there was none.
    std::string error() const;

private:
    void run();
    // Counts a query; whether it is to be answered.
    bool takeQuery();
    void answer();

    int m_master;
    int m_wake[2] = {-1, -1};
    std::vector<Reply> m_replies;
    std::chrono::microseconds m_turnaround;
    mutable std::mutex m_mutex;
    bool m_armed = false;
    std::optional<InFlight> m_inFlight;
    std::size_t m_queries = 0;
    std::size_t m_answered = 0;
    std::string m_error;
    std::thread m_thread; // last: it starts once everything it reads is in place
};

} // namespace quorvel::bench
