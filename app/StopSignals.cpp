#include "app/StopSignals.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>

namespace quorvel {

StopSignals::StopSignals(std::initializer_list<int> more) {
    sigemptyset(&m_set);
    sigaddset(&m_set, SIGINT);
    sigaddset(&m_set, SIGTERM);
    sigaddset(&m_set, SIGHUP);
    for (const int signal : more) {
        sigaddset(&m_set, signal);
    }
    if (::sigprocmask(SIG_BLOCK, &m_set, nullptr) != 0) {
        throw std::runtime_error(std::string("sigprocmask: ") + std::strerror(errno));
    }
    m_fd = ::signalfd(-1, &m_set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (m_fd < 0) {
        const int error = errno;
        ::sigprocmask(SIG_UNBLOCK, &m_set, nullptr);
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
    ::close(m_fd);
    ::sigprocmask(SIG_UNBLOCK, &m_set, nullptr);
}

} // namespace quorvel
