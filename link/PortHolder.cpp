#include "link/PortHolder.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>
#include <vector>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace quorvel {

namespace {

namespace fs = std::filesystem;

// The program's own process name, as a second copy of it shows up in the process table.
constexpr const char* kOwnProgram = "quorvel";

bool sameFile(const struct stat& a, const struct stat& b) {
    if (a.st_dev == b.st_dev && a.st_ino == b.st_ino) {
        return true;
    }
    // Two device nodes for one device (a copy made with mknod, another /dev) share the number.
    return S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode) && a.st_rdev == b.st_rdev;
}

// The number of a pseudo-terminal's slave (/dev/pts/N), or none for any other file.
std::optional<long> ptyIndex(const struct stat& device) {
    constexpr unsigned kFirstSlaveMajor = 136; // the kernel's major numbers for /dev/pts
    constexpr unsigned kSlaveMajors = 8;
    constexpr unsigned kMinorsPerMajor = 256;
    if (!S_ISCHR(device.st_mode) || major(device.st_rdev) < kFirstSlaveMajor ||
        major(device.st_rdev) >= kFirstSlaveMajor + kSlaveMajors) {
        return std::nullopt;
    }
    return static_cast<long>((major(device.st_rdev) - kFirstSlaveMajor) * kMinorsPerMajor + minor(device.st_rdev));
}

// Which pseudo-terminal a master descriptor serves, from its fdinfo ("tty-index:\t3").
std::optional<long> masterIndex(const fs::path& fdinfo) {
    std::ifstream info(fdinfo);
    for (std::string line; std::getline(info, line);) {
        constexpr std::string_view kField = "tty-index:";
        if (line.rfind(kField, 0) == 0) {
            try {
                return std::stol(line.substr(kField.size()));
            } catch (const std::exception&) {
                return std::nullopt;
            }
        }
    }
    return std::nullopt;
}

// Whether the process whose /proc folder this is has the device open. A process that also
// holds the master side of the same pseudo-terminal is the far end of the line (a simulator, a
// bridge to a network port), not a second program talking to the radio.
bool holds(const fs::path& processFolder, const struct stat& device) {
    const std::optional<long> pty = ptyIndex(device);
    bool slave = false;
    bool master = false;
    std::error_code error;
    for (fs::directory_iterator it(processFolder / "fd", error), end; !error && it != end; it.increment(error)) {
        // Sockets, pipes and the like lead to no path ("socket:[123]"); only files need a look.
        std::error_code unreadable;
        const fs::path target = fs::read_symlink(it->path(), unreadable);
        if (unreadable || !target.is_absolute()) {
            continue;
        }
        if (pty && target.filename() == "ptmx" &&
            masterIndex(processFolder / "fdinfo" / it->path().filename()) == pty) {
            master = true;
            continue;
        }
        struct stat seen {};
        if (::stat(it->path().c_str(), &seen) == 0 && sameFile(seen, device)) {
            slave = true;
        }
    }
    return slave && !master;
}

std::string programName(const fs::path& processFolder) {
    std::ifstream comm(processFolder / "comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

std::vector<long> processIds(const std::string& procRoot) {
    std::vector<long> pids;
    std::error_code error;
    for (fs::directory_iterator it(procRoot, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            pids.push_back(std::stol(name));
        }
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

} // namespace

std::optional<PortHolder> findPortHolder(const std::string& procRoot, const std::string& device, long ownPid) {
    struct stat wanted {};
    if (::stat(device.c_str(), &wanted) != 0) {
        return std::nullopt;
    }
    for (const long pid : processIds(procRoot)) {
        const fs::path folder = fs::path(procRoot) / std::to_string(pid);
        if (pid != ownPid && holds(folder, wanted)) {
            return PortHolder{pid, programName(folder)};
        }
    }
    return std::nullopt;
}

std::string portHeldDescription(const std::string& device, const PortHolder& holder) {
    const std::string pid = std::to_string(holder.pid);
    if (holder.program == kOwnProgram) {
        return "Port already open: Quorvel is already running with this port (" + device + ", process " + pid + ")";
    }
    const std::string who = holder.program.empty() ? "another program" : holder.program;
    return "Port already open: " + device + " is held by " + who + " (process " + pid +
           "), and the two would split the radio's replies. Reach the radio through that program instead: "
           "--radio rigctld:127.0.0.1:4532 or --radio flrig:127.0.0.1:12345, or choose the connection in the "
           "Com Port menu";
}

} // namespace quorvel
