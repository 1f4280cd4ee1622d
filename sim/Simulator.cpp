#include "sim/Simulator.h"

#include "sim/ExchangeLog.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace quorvel::sim {

namespace {

int millisecondsUntil(Simulator::Clock::time_point when, Simulator::Clock::time_point now) {
    if (when <= now) {
        return 0;
    }
    // Rounded up, so the loop does not wake a moment early and spin.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(when - now).count();
    return static_cast<int>(std::min<long long>(wait, 60000));
}

} // namespace

Simulator::Simulator(const SimOptions& options, const std::string& mappingDir)
    : m_options(options), m_linkPath(mappingDir + "/com" + std::to_string(options.port)),
      m_radio(options.power, options.powerReplies), m_silent(options.silent), m_start(Clock::now()),
      m_pluggedAt(m_start), m_unpluggedAt(m_start) {
    placePort();
}

void Simulator::placePort() {
    m_pty.emplace();
    m_link.emplace(m_linkPath, m_pty->devicePath());
}

void Simulator::plugIn() {
    placePort();
    m_reader = FrameReader();
    m_pluggedAt = Clock::now();
    printExchange("plugged", m_link->path() + " " + m_pty->devicePath());
}

int Simulator::run() {
    // A test that stops reading our output must not kill us before the link is removed.
    std::signal(SIGPIPE, SIG_IGN);
    printExchange("ready", m_link->path() + " " + m_pty->devicePath());

    for (;;) {
        const auto now = Clock::now();
        if (m_options.quitAfter && now >= m_start + *m_options.quitAfter) {
            break;
        }
        if (m_options.unplugAfter && plugged() && now >= m_pluggedAt + *m_options.unplugAfter) {
            unplug();
        }
        if (m_options.replugAfter && !plugged() && now >= m_unpluggedAt + *m_options.replugAfter) {
            plugIn();
        }
        if (m_options.silentAfter && !m_silent && now >= m_start + *m_options.silentAfter) {
            m_silent = true;
            m_pending.clear();
            printExchange("silent", "");
        }
        writeDue(now);

        std::array<pollfd, 2> fds{};
        fds[0] = {m_signals.fd(), POLLIN, 0};
        fds[1] = {plugged() ? m_pty->masterFd() : -1, POLLIN, 0}; // a negative fd is skipped
        const auto wakeUp = nextWakeUp();
        const int timeout = wakeUp ? millisecondsUntil(*wakeUp, Clock::now()) : -1;
        const int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
        }
        if ((fds[0].revents & POLLIN) != 0) {
            const int signal = m_signals.take();
            if (signal == SIGUSR1) {
                if (plugged()) {
                    unplug();
                }
            } else if (signal != 0) {
                break;
            }
        }
        if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            onReadable();
        }
    }
    m_link.reset();
    m_pty.reset();
    printExchange("exit", "");
    return 0;
}

void Simulator::onReadable() {
    std::array<char, 256> buffer{};
    const ssize_t n = ::read(m_pty->masterFd(), buffer.data(), buffer.size());
    if (n <= 0) {
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            return;
        }
        // The line is gone from under us; behave as if the cable was pulled.
        unplug();
        return;
    }
    const auto now = Clock::now();
    const Behaviour behaviour = m_options.busy ? Behaviour::Busy : Behaviour::Normal;
    for (const std::string& frame : m_reader.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)))) {
        printExchange("rx", frame);
        const std::optional<std::string> reply =
            m_options.fixedAnswer ? m_options.fixedAnswer : m_radio.answer(frame, behaviour);
        if (reply && !m_silent) {
            schedule(*reply, now);
        }
    }
}

void Simulator::schedule(const std::string& reply, Clock::time_point now) {
    if (m_pending.size() >= kMaxPending) {
        printExchange("lost", reply);
        return;
    }
    // Never before an earlier reply's last piece: the line keeps the order of the replies.
    Clock::time_point due = now + m_options.delay;
    if (!m_pending.empty()) {
        due = std::max(due, m_pending.back().due);
    }
    if (m_options.split && reply.size() > 1) {
        const std::size_t half = reply.size() / 2;
        m_pending.push_back({due, reply.substr(0, half), {}});
        m_pending.push_back({due + kSplitPause, reply.substr(half), reply});
    } else {
        m_pending.push_back({due, reply, reply});
    }
}

void Simulator::writeDue(Clock::time_point now) {
    while (!m_pending.empty() && m_pending.front().due <= now && plugged()) {
        PendingWrite& next = m_pending.front();
        const ssize_t n = ::write(m_pty->masterFd(), next.bytes.data(), next.bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            // The program is not reading and the line is full: the reply is lost, as on a real line.
            printExchange("lost", next.reply.empty() ? next.bytes : next.reply);
            m_pending.pop_front();
            continue;
        }
        next.bytes.erase(0, static_cast<std::size_t>(n));
        if (!next.bytes.empty()) {
            return;
        }
        if (!next.reply.empty()) {
            printExchange("tx", next.reply);
        }
        m_pending.pop_front();
    }
}

void Simulator::unplug() {
    m_pending.clear();
    m_link.reset();
    m_pty.reset();
    m_unpluggedAt = Clock::now();
    printExchange("unplugged", "");
}

std::optional<Simulator::Clock::time_point> Simulator::nextWakeUp() const {
    std::optional<Clock::time_point> wake;
    auto consider = [&wake](Clock::time_point t) { wake = wake ? std::min(*wake, t) : t; };
    if (!m_pending.empty()) {
        consider(m_pending.front().due);
    }
    if (m_options.quitAfter) {
        consider(m_start + *m_options.quitAfter);
    }
    if (m_options.unplugAfter && plugged()) {
        consider(m_pluggedAt + *m_options.unplugAfter);
    }
    if (m_options.replugAfter && !plugged()) {
        consider(m_unpluggedAt + *m_options.replugAfter);
    }
    if (m_options.silentAfter && !m_silent) {
        consider(m_start + *m_options.silentAfter);
    }
    return wake;
}

} // namespace quorvel::sim
