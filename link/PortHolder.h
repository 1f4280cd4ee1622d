#pragma once

#include <optional>
#include <string>

namespace quorvel {

// Another process that has the serial device open.
struct PortHolder {
    long pid = 0;
    std::string program; // its name as the system keeps it (/proc/PID/comm); empty when unknown
};

// Looks through procRoot (/proc, or a tree made up the same way) for a process other than ownPid
// with a descriptor open on device, and answers the one with the lowest process id.
//
// Nothing stops two programs from opening one serial line, and neither would get whole replies:
// the radio's answers are split between them. A holder is recognised by the file its descriptor
// leads to, not by the path's text, since a by-id link, a Com link and the device node all lead to
// the same device. Processes whose descriptors this user may not read are passed over: nothing
// more can be learned about them without privileges.
std::optional<PortHolder> findPortHolder(const std::string& procRoot, const std::string& device, long ownPid);

// The refusal's description: names the holder and the ways to share the radio with it.
std::string portHeldDescription(const std::string& device, const PortHolder& holder);

} // namespace quorvel
