#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// Where the user's own files are on a Unix desktop. The program's settings, its port links and the
// simulator all go by this one rule, so that they agree on every machine.
struct UserFolders {
    std::string home;   // empty when none is known
    std::string config; // the XDG configuration folder; empty when none is known
};

// The environment the rule reads; empty texts stand for unset variables.
struct UserEnvironment {
    std::string_view home;          // $HOME
    std::string_view xdgConfigHome; // $XDG_CONFIG_HOME
    std::string_view accountHome;   // the account's home directory in the user database
};

// $HOME when it is an absolute path, else the account's home directory: a program started by a
// service or with a cleared environment has no HOME, yet its user still has a home. The config
// folder is $XDG_CONFIG_HOME when it is absolute (XDG says a relative one is invalid and must be
// ignored), else <home>/.config.
UserFolders userFolders(const UserEnvironment& environment);

// The same for this process's environment and account.
UserFolders userFolders();

} // namespace quorvel
