#include "sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace quorvel::sim {

namespace {

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

} // namespace

PseudoTerminal::PseudoTerminal() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0) {
        throw systemError("posix_openpt");
    }
    try {
        if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
            throw systemError("unlocking the pseudo-terminal");
        }
        std::string name(256, '\0');
        if (::ptsname_r(m_master, name.data(), name.size()) != 0) {
            throw systemError("ptsname");
        }
        m_devicePath = name.c_str();
        m_slave = ::open(m_devicePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_slave < 0) {
            throw systemError("opening " + m_devicePath);
        }
        // Raw, so nothing is echoed back or turned into a line end on either side.
        termios tio{};
        if (::tcgetattr(m_slave, &tio) != 0) {
            throw systemError("tcgetattr");
        }
        ::cfmakeraw(&tio);
        tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE);
        tio.c_cflag |= CS8 | CLOCAL | CREAD;
        ::cfsetispeed(&tio, B38400);
        ::cfsetospeed(&tio, B38400);
        if (::tcsetattr(m_slave, TCSANOW, &tio) != 0) {
            throw systemError("tcsetattr");
        }
    } catch (...) {
        close();
        throw;
    }
}

PseudoTerminal::~PseudoTerminal() {
    close();
}

void PseudoTerminal::close() noexcept {
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

} // namespace quorvel::sim
