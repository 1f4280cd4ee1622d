#pragma once

#include <csignal>
#include <initializer_list>

namespace quorvel {

// SIGINT, SIGTERM and SIGHUP arrive as a readable descriptor instead of interrupting: the event
// loop then stops in order and lets go of what it holds (a serial port's lock file and line
// settings, a port link), which a plain signal death would leave behind. Further signals a caller
// names (the simulator's SIGUSR1, pull the plug) arrive the same way.
// A signal ignored when the object is made stays ignored: `nohup` and a shell's background job
// (which ignores SIGINT) ask for exactly that.
// The signals are blocked for the calling thread and every thread started after it, so make it
// before any other thread exists; a thread that unblocks them would take them instead.
// Signals still waiting when the object goes (a second Ctrl+C right after the first, a TERM
// during the shutdown) are dropped with it: the program is already ending in order.
class StopSignals {
public:
    explicit StopSignals(std::initializer_list<int> more = {}); // throws std::runtime_error
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    int fd() const { return m_fd; }
    // Takes the waiting signal, so it is not delivered again once the mask is lifted; 0 if none.
    int take();

private:
    sigset_t m_set{};
    sigset_t m_previousMask{};
    int m_fd = -1;
};

} // namespace quorvel
