#pragma once

#include "link/PortRules.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel {

// The program's own port folder, where "Com N" is a symlink named comN to a serial device. Picking
// a device by name puts it here, so that the stored choice stays a Com number like any other.
// Every failure is a RunTimeError naming the entry: 58 when a file that is not a link stands at the
// number (it is never touched), 67 when no number is free, 75 when the folder refuses a change.
class PortFolder {
public:
    explicit PortFolder(PortSearchDirs dirs) : m_dirs(std::move(dirs)) {}

    // What Com N reaches today, in the order the serial component looks: a link in this folder (its
    // target as written), a link in the wine COM mapping, or the N-th built-in port when it is one
    // of the real serial ports given. Empty when it reaches nothing; "not a link" for a file that
    // is no link.
    std::string leadsTo(int n, const std::vector<std::string>& realPorts) const;

    // The lowest Com number that reaches the device already, if one does.
    std::optional<int> numberOf(const std::string& device, const std::vector<std::string>& realPorts) const;

    // The lowest Com number that reaches nothing; 67 when every one reaches something.
    int firstFree(const std::vector<std::string>& realPorts) const;

    // Whether this folder's comN is a link to something other than the device, which making the
    // link would replace.
    bool replaces(int n, const std::string& device) const;

    // Makes comN a link to the device, the folder first when it is missing. A link already there is
    // replaced in one step, so that no moment passes without one; anything else there is refused.
    void link(int n, const std::string& device) const;

    const PortSearchDirs& dirs() const { return m_dirs; }

private:
    std::string entryPath(int n) const;

    PortSearchDirs m_dirs;
};

} // namespace quorvel
