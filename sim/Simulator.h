#pragma once

#include "app/StopSignals.h"
#include "sim/CatResponder.h"
#include "sim/FrameReader.h"
#include "sim/PortLink.h"
#include "sim/PseudoTerminal.h"
#include "sim/SimOptions.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>

namespace quorvel::sim {

// The simulated radio: one pseudo-terminal linked as Com N, one event loop that answers what the
// program sends, and the scripted failures (silence, unplugging and plugging in again) a test
// asks for.
class Simulator {
public:
    using Clock = std::chrono::steady_clock;

    // Gap between the two writes of a split reply; long enough that the program reads them apart.
    static constexpr auto kSplitPause = std::chrono::milliseconds{50};
    // Replies waiting for their delay; a program that floods a slow radio loses the excess.
    static constexpr std::size_t kMaxPending = 256;

    Simulator(const SimOptions& options, const std::string& mappingDir); // throws std::runtime_error

    // Runs until SIGINT, SIGTERM or SIGHUP, or the --quit-after time. Returns the exit status.
    int run();

private:
    struct PendingWrite {
        Clock::time_point due;
        std::string bytes;
        std::string reply; // the whole reply, logged once its last piece is out; empty before that
    };

    void onReadable();
    void schedule(const std::string& reply, Clock::time_point now);
    void writeDue(Clock::time_point now);
    void placePort();
    void plugIn();
    void unplug();
    bool plugged() const { return m_pty && m_pty->isOpen(); }
    std::optional<Clock::time_point> nextWakeUp() const;

    // First, so no stop signal can slip in while the link is being placed; SIGUSR1 pulls the plug.
    StopSignals m_signals{SIGUSR1};
    SimOptions m_options;
    std::string m_linkPath;
    // Made anew at each plugging in, as a USB adapter's device is.
    std::optional<PseudoTerminal> m_pty;
    std::optional<PortLink> m_link;
    FrameReader m_reader;
    CatRadio m_radio;
    bool m_silent;
    std::deque<PendingWrite> m_pending;
    Clock::time_point m_start;
    Clock::time_point m_pluggedAt;
    Clock::time_point m_unpluggedAt;
};

} // namespace quorvel::sim
