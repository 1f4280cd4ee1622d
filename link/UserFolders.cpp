#include "link/UserFolders.h"

#include <cstdlib>
#include <vector>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace quorvel {

namespace {

bool isAbsolute(std::string_view path) {
    return !path.empty() && path.front() == '/';
}

std::string_view environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string_view(value) : std::string_view();
}

std::string accountHome() {
#ifdef _WIN32
    return {};
#else
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384U);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
#endif
}

} // namespace

UserFolders userFolders(const UserEnvironment& environment) {
    UserFolders folders;
    if (isAbsolute(environment.home)) {
        folders.home = environment.home;
    } else if (isAbsolute(environment.accountHome)) {
        folders.home = environment.accountHome;
    }
    if (isAbsolute(environment.xdgConfigHome)) {
        folders.config = environment.xdgConfigHome;
    } else if (!folders.home.empty()) {
        folders.config = folders.home + (folders.home.back() == '/' ? ".config" : "/.config");
    }
    return folders;
}

UserFolders userFolders() {
    const std::string_view home = environment("HOME");
    // The user database is asked only when it is needed: on a networked account it can be slow.
    const std::string account = isAbsolute(home) ? std::string() : accountHome();
    return userFolders(UserEnvironment{home, environment("XDG_CONFIG_HOME"), account});
}

} // namespace quorvel
