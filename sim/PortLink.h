#pragma once

#include <string>

namespace quorvel::sim {

// What stands at the place where the link for Com N would go.
enum class LinkSlot {
    Free,  // nothing there
    Stale, // a link left by an earlier simulator: it points into /dev/pts at a device that is gone
    Taken, // anything else; it may be the user's real radio, so it is never touched
};

LinkSlot inspectLinkSlot(const std::string& linkPath);

// The symlink that makes the pseudo-terminal appear as Com N to the program. It is only put where
// nothing of anyone else's would be lost, and removed only while it still points at our device.
class PortLink {
public:
    // Creates the folder when needed; throws std::runtime_error when the place is taken.
    PortLink(std::string linkPath, std::string target);
    ~PortLink();
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    void remove() noexcept;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    std::string m_target;
    bool m_placed = false;
};

} // namespace quorvel::sim
