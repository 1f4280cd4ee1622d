#pragma once

#include <csignal>

namespace quorvel::sim {

// SIGINT, SIGTERM and SIGHUP arrive as a readable descriptor instead of interrupting: the event
// loop then stops in order and removes its link, which a plain signal death would leave behind.
class StopSignals {
public:
    StopSignals(); // throws std::runtime_error
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    int fd() const { return m_fd; }
    // Takes the waiting signal, so it is not delivered again once the mask is lifted; 0 if none.
    int take();

private:
    sigset_t m_set{};
    int m_fd = -1;
};

} // namespace quorvel::sim
