#pragma once

#include <string>

namespace quorvel::sim {

// The radio's end of a serial line: the master side of a pseudo-terminal whose slave device the
// program opens as its port. The slave is set up as the radio's line, 38400 baud 8N1, raw.
class PseudoTerminal {
public:
    PseudoTerminal(); // throws std::runtime_error
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool isOpen() const { return m_master >= 0; }
    int masterFd() const { return m_master; }
    const std::string& devicePath() const { return m_devicePath; }

    // Pulls the plug: the program's open port sees the line hang up.
    void close() noexcept;

private:
    int m_master = -1;
    // Held open so the master side never reports a hang-up while the program has the port closed.
    int m_slave = -1;
    std::string m_devicePath;
};

} // namespace quorvel::sim
