#include "sim/PortLink.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::sim {

namespace {

constexpr std::string_view kPtsFolder = "/dev/pts/";

std::optional<std::string> readLink(const std::string& path) {
    std::string target(4096, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n < 0 || static_cast<std::size_t>(n) >= target.size()) {
        return std::nullopt;
    }
    target.resize(static_cast<std::size_t>(n));
    return target;
}

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

} // namespace

LinkSlot inspectLinkSlot(const std::string& linkPath) {
    struct stat info {};
    if (::lstat(linkPath.c_str(), &info) != 0) {
        return errno == ENOENT ? LinkSlot::Free : LinkSlot::Taken;
    }
    if (!S_ISLNK(info.st_mode)) {
        return LinkSlot::Taken;
    }
    const auto target = readLink(linkPath);
    if (!target || target->rfind(kPtsFolder, 0) != 0) {
        return LinkSlot::Taken;
    }
    // A pseudo-terminal's node vanishes when its master side is closed.
    struct stat device {};
    if (::stat(target->c_str(), &device) != 0 && errno == ENOENT) {
        return LinkSlot::Stale;
    }
    return LinkSlot::Taken;
}

PortLink::PortLink(std::string linkPath, std::string target)
    : m_path(std::move(linkPath)), m_target(std::move(target)) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), ec);
    if (ec) {
        throw std::runtime_error("cannot create the folder of " + m_path + ": " + ec.message());
    }
    switch (inspectLinkSlot(m_path)) {
    case LinkSlot::Free:
        if (::symlink(m_target.c_str(), m_path.c_str()) != 0) {
            throw systemError("cannot link " + m_path);
        }
        break;
    case LinkSlot::Stale: {
        // Replaced in one step, so the program never sees the port missing or half made.
        const std::string temporary = m_path + ".sim-" + std::to_string(::getpid());
        if (::symlink(m_target.c_str(), temporary.c_str()) != 0) {
            throw systemError("cannot link " + temporary);
        }
        if (::rename(temporary.c_str(), m_path.c_str()) != 0) {
            const auto error = systemError("cannot replace " + m_path);
            ::unlink(temporary.c_str());
            throw error;
        }
        break;
    }
    case LinkSlot::Taken:
        throw std::runtime_error(m_path + " already exists and is not a stale simulator link; left as it is");
    }
    m_placed = true;
}

PortLink::~PortLink() {
    remove();
}

void PortLink::remove() noexcept {
    if (!m_placed) {
        return;
    }
    m_placed = false;
    // Someone may have pointed the port elsewhere meanwhile; that link is theirs.
    if (readLink(m_path) == m_target) {
        ::unlink(m_path.c_str());
    }
}

} // namespace quorvel::sim
