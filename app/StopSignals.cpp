#include "app/StopSignals.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>

namespace quorvel {

namespace {

bool ignored(int signal) {
    struct sigaction action {};
    return ::sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN;
}

} // namespace

StopSignals::StopSignals(std::initializer_list<int> more) {
    sigemptyset(&m_set);
    const auto add = [this](int signal) {
        // A blocked signal is kept pending even while it is ignored, and the descriptor would
        // hand it over after all.
        if (!ignored(signal)) {
            sigaddset(&m_set, signal);
        }
    };
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        add(signal);
    }
    for (const int signal : more) {
        add(signal);
    }
    if (::sigprocmask(SIG_BLOCK, &m_set, &m_previousMask) != 0) {
        throw std::runtime_error(std::string("sigprocmask: ") + std::strerror(errno));
    }
    m_fd = ::signalfd(-1, &m_set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (m_fd < 0) {
        const int error = errno;
        ::sigprocmask(SIG_SETMASK, &m_previousMask, nullptr);
        throw std::runtime_error(std::string("signalfd: ") + std::strerror(error));
    }
}

int StopSignals::take() {
    signalfd_siginfo info{};
    if (::read(m_fd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
        return 0;
    }
    return static_cast<int>(info.ssi_signo);
}

StopSignals::~StopSignals() {
    // Lifting the mask would deliver what is still pending, and its default action would end the
    // program with that signal's status instead of the clean end already under way.
    while (take() != 0) {
    }
    ::close(m_fd);
    ::sigprocmask(SIG_SETMASK, &m_previousMask, nullptr);
}

} // namespace quorvel
