#include "link/PortFolder.h"

#include "link/RunTimeError.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace quorvel {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kNotALink = "not a link";

// What stands at a path, without following a link.
struct Entry {
    bool present = false;
    bool isLink = false;
    std::string target; // a link's text, as written
};

Entry entryAt(const std::string& path) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (ec || !fs::exists(status)) {
        return {};
    }
    if (!fs::is_symlink(status)) {
        return {true, false, {}};
    }
    return {true, true, fs::read_symlink(path, ec).string()};
}

// std::filesystem::equivalent refuses to compare two device nodes (libstdc++ answers "not
// supported"), and a serial port is nothing else; stat tells them apart by device and inode.
bool sameFile(const std::string& a, const std::string& b) {
#ifdef _WIN32
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
#else
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
#endif
}

std::string comName(int n) {
    return "com" + std::to_string(n);
}

RunTimeError folderError(const std::string& what, const std::error_code& ec) {
    return {err::kFileAccess, "Path/File access error: " + what + ": " + ec.message()};
}

// The entry Com N is opened through today and what it shows, as the serial component picks it.
struct Reach {
    std::string path;
    std::string shown;
};

std::optional<Reach> reachOf(int n, const PortSearchDirs& dirs, const std::vector<std::string>& realPorts) {
    for (const std::string& dir : {dirs.mappingDir, dirs.wineDosDevices}) {
        if (dir.empty()) {
            continue;
        }
        const std::string path = dir + "/" + comName(n);
        const Entry entry = entryAt(path);
        if (entry.present) {
            return Reach{path, entry.isLink ? entry.target : std::string(kNotALink)};
        }
    }
    const std::string builtIn = "/dev/ttyS" + std::to_string(n - 1);
    if (std::find(realPorts.begin(), realPorts.end(), builtIn) != realPorts.end()) {
        return Reach{builtIn, builtIn};
    }
    return std::nullopt;
}

} // namespace

std::string PortFolder::entryPath(int n) const {
    return m_dirs.mappingDir + "/" + comName(n);
}

std::string PortFolder::leadsTo(int n, const std::vector<std::string>& realPorts) const {
    const auto reach = reachOf(n, m_dirs, realPorts);
    return reach ? reach->shown : std::string();
}

std::optional<int> PortFolder::numberOf(const std::string& device, const std::vector<std::string>& realPorts) const {
    for (int n = 1; n <= kPortCount; ++n) {
        const auto reach = reachOf(n, m_dirs, realPorts);
        // The same text, or another name for the same device node (a by-id name for its ttyUSB).
        if (reach && (reach->shown == device || sameFile(reach->path, device))) {
            return n;
        }
    }
    return std::nullopt;
}

int PortFolder::firstFree(const std::vector<std::string>& realPorts) const {
    for (int n = 1; n <= kPortCount; ++n) {
        if (!reachOf(n, m_dirs, realPorts)) {
            return n;
        }
    }
    throw RunTimeError(err::kTooManyFiles,
                       "Too many files: Com1 to Com16 all lead to a device already; pick the Com number to "
                       "use for this one");
}

bool PortFolder::replaces(int n, const std::string& device) const {
    if (m_dirs.mappingDir.empty()) {
        return false;
    }
    const Entry entry = entryAt(entryPath(n));
    return entry.isLink && entry.target != device;
}

void PortFolder::link(int n, const std::string& device) const {
    if (n < 1 || n > kPortCount) {
        throw RunTimeError::invalidPropertyValue();
    }
    if (m_dirs.mappingDir.empty()) {
        throw RunTimeError(err::kFileAccess,
                           "Path/File access error: no folder for port links, as neither HOME nor XDG_CONFIG_HOME "
                           "names one");
    }
    const std::string path = entryPath(n);
    const Entry entry = entryAt(path);
    if (entry.present && !entry.isLink) {
        throw RunTimeError(err::kFileAlreadyExists,
                           "File already exists: " + path + " is not a link, and Quorvel leaves it as it is");
    }
    if (entry.isLink && entry.target == device) {
        return;
    }
    std::error_code ec;
    fs::create_directories(m_dirs.mappingDir, ec);
    if (ec) {
        throw folderError("cannot make " + m_dirs.mappingDir, ec);
    }
    // A new link under a name of our own, renamed over the old one.
    const std::string fresh = m_dirs.mappingDir + "/." + comName(n) + ".new";
    if (entryAt(fresh).isLink) {
        fs::remove(fresh, ec);
    }
    fs::create_symlink(device, fresh, ec);
    if (ec) {
        throw folderError("cannot make " + path, ec);
    }
    fs::rename(fresh, path, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(fresh, ignored);
        throw folderError("cannot make " + path, ec);
    }
}

} // namespace quorvel
