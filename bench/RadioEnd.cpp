#include "bench/RadioEnd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace quorvel::bench {

RadioEnd::RadioEnd(int masterFd, std::vector<Reply> replies, std::chrono::microseconds turnaround)
    : m_master(masterFd), m_replies(std::move(replies)), m_turnaround(turnaround) {
    if (m_replies.empty()) {
        throw std::runtime_error("the radio needs at least one reply");
    }
    if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
    }
    m_thread = std::thread([this] { run(); });
}

RadioEnd::~RadioEnd() {
    const char stop = 0;
    while (::write(m_wake[1], &stop, 1) < 0 && errno == EINTR) {
    }
    m_thread.join();
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

void RadioEnd::arm() {
    const std::lock_guard lock(m_mutex);
    m_armed = true;
}

void RadioEnd::disarm() {
    const std::lock_guard lock(m_mutex);
    m_armed = false;
}

std::optional<RadioEnd::InFlight> RadioEnd::inFlight() const {
    const std::lock_guard lock(m_mutex);
    return m_inFlight;
}

void RadioEnd::seen(std::size_t number) {
    const std::lock_guard lock(m_mutex);
    if (m_inFlight && m_inFlight->number == number) {
        m_inFlight.reset();
    }
}

std::size_t RadioEnd::queries() const {
    const std::lock_guard lock(m_mutex);
    return m_queries;
}

std::size_t RadioEnd::answered() const {
    const std::lock_guard lock(m_mutex);
    return m_answered;
}

std::string RadioEnd::error() const {
    const std::lock_guard lock(m_mutex);
    return m_error;
}

void RadioEnd::run() {
    std::string pending;
    bool answerDue = false;
    Clock::time_point due{};
    char buffer[256];
    for (;;) {
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        timespec wait{};
        if (answerDue) {
            const auto left = std::max(Clock::duration::zero(), due - Clock::now());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            wait.tv_sec = static_cast<time_t>(ns / 1000000000);
            wait.tv_nsec = static_cast<long>(ns % 1000000000);
        }
        if (::ppoll(fds, 2, answerDue ? &wait : nullptr, nullptr) < 0) {
            if (errno == EINTR) {
                continue;
            }
            const std::lock_guard lock(m_mutex);
            m_error = std::string("ppoll: ") + std::strerror(errno);
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if (answerDue && Clock::now() >= due) {
            answerDue = false;
            answer();
        }
        if (fds[0].revents == 0) {
            continue;
        }
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                continue;
            }
            // EIO while nobody has the port open; the run's own time-out reports what follows.
            const std::lock_guard lock(m_mutex);
            m_error = std::string("reading the master: ") + std::strerror(errno);
            return;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end = pending.find(';'); end != std::string::npos; end = pending.find(';')) {
            if (pending.compare(0, end + 1, "PC;") == 0 && takeQuery() && !answerDue) {
                if (m_turnaround.count() == 0) {
                    answer();
                } else {
                    due = Clock::now() + m_turnaround;
                    answerDue = true;
                }
            }
            pending.erase(0, end + 1);
        }
    }
}

bool RadioEnd::takeQuery() {
    const std::lock_guard lock(m_mutex);
    ++m_queries;
    return m_armed && !m_inFlight;
}

void RadioEnd::answer() {
    const Reply* reply = nullptr;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_armed || m_inFlight) {
            return;
        }
        reply = &m_replies[m_answered % m_replies.size()];
        // Stamped before the write: the time the line itself takes belongs to the path measured.
        m_inFlight = InFlight{m_answered, reply->watts, Clock::now()};
        ++m_answered;
    }
    const ssize_t written = ::write(m_master, reply->text.data(), reply->text.size());
    if (written != static_cast<ssize_t>(reply->text.size())) {
        const std::lock_guard lock(m_mutex);
        m_error = std::string("writing the reply: ") + (written < 0 ? std::strerror(errno) : "short write");
    }
}

} // namespace quorvel::bench
