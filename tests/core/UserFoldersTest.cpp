#include "link/UserFolders.h"
#include "link/PortRules.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

TEST(UserFolders, FollowXdgConfigHomeThenHomeThenTheAccount) {
    struct Case {
        const char* what;
        UserEnvironment environment; // HOME, XDG_CONFIG_HOME, the account's home
        std::string home;
        std::string config;
    };
    const Case cases[] = {
        {"XDG absolute", {"/home/op", "/srv/cfg", "/home/acct"}, "/home/op", "/srv/cfg"},
        {"XDG relative is ignored", {"/home/op", "cfg", "/home/acct"}, "/home/op", "/home/op/.config"},
        {"XDG unset", {"/home/op", "", "/home/acct"}, "/home/op", "/home/op/.config"},
        {"HOME unset: the account's home", {"", "", "/home/acct"}, "/home/acct", "/home/acct/.config"},
        {"HOME relative: the account's home", {"op", "", "/home/acct"}, "/home/acct", "/home/acct/.config"},
        {"HOME unset, XDG absolute", {"", "/srv/cfg", "/home/acct"}, "/home/acct", "/srv/cfg"},
        {"HOME is the root folder", {"/", "", ""}, "/", "/.config"},
        {"HOME with a trailing slash", {"/home/op/", "", ""}, "/home/op/", "/home/op/.config"},
        {"nothing known", {"", "", ""}, "", ""},
        {"only a relative account home", {"", "", "acct"}, "", ""},
        {"only XDG", {"", "/srv/cfg", ""}, "", "/srv/cfg"},
    };
    for (const Case& c : cases) {
        const UserFolders folders = userFolders(c.environment);
        EXPECT_EQ(folders.home, c.home) << c.what;
        EXPECT_EQ(folders.config, c.config) << c.what;
    }
}

TEST(UserFolders, GiveThePortFoldersOrNoneWhereAFolderIsUnknown) {
    const PortSearchDirs both = portSearchDirs(UserFolders{"/home/op", "/srv/cfg"});
    EXPECT_EQ(both.mappingDir, "/srv/cfg/Quorvel/ports");
    EXPECT_EQ(both.wineDosDevices, "/home/op/.wine/dosdevices");

    const PortSearchDirs none = portSearchDirs(UserFolders{});
    EXPECT_EQ(none.mappingDir, "");
    EXPECT_EQ(none.wineDosDevices, "");
    // With no folder known, Com N is only the built-in port, never a path relative to the
    // working folder.
    EXPECT_EQ(portDeviceCandidates(3, none), std::vector<std::string>{"/dev/ttyS2"});
}

} // namespace
} // namespace quorvel
