// Who else has the serial device open: a process table made up in a temporary folder, laid out as
// /proc is, and the real one.
#include "link/PortHolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {
namespace {

namespace fs = std::filesystem;

// A process as the made-up table shows it: its name, where each descriptor leads, and the fdinfo
// of those that have one.
struct FakeProcess {
    std::string comm; // none written when empty
    std::map<int, std::string> fds;
    std::map<int, std::string> fdinfo;
};

class FakeProcTable {
public:
    FakeProcTable() {
        char pattern[] = "/tmp/port-holder-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        m_root = made;
        fs::create_directories(m_root / "proc");
        fs::create_directories(m_root / "dev/serial/by-id");
        std::ofstream(m_root / "dev/ttyUSB0").put('\0');
        std::ofstream(m_root / "dev/ttyUSB1").put('\0');
        fs::create_symlink(m_root / "dev/ttyUSB0", m_root / "dev/serial/by-id/usb-FTDI_K3-if00-port0");
    }
    ~FakeProcTable() {
        std::error_code ignored;
        fs::permissions(m_root, fs::perms::owner_all, fs::perm_options::add, ignored);
        for (const auto& entry : fs::recursive_directory_iterator(m_root, ignored)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(m_root, ignored);
    }
    FakeProcTable(const FakeProcTable&) = delete;
    FakeProcTable& operator=(const FakeProcTable&) = delete;

    std::string proc() const { return (m_root / "proc").string(); }
    std::string dev(const std::string& name) const { return (m_root / "dev" / name).string(); }

    void add(const std::string& entry, const FakeProcess& process) {
        const fs::path folder = m_root / "proc" / entry;
        fs::create_directories(folder / "fd");
        fs::create_directories(folder / "fdinfo");
        if (!process.comm.empty()) {
            std::ofstream(folder / "comm") << process.comm << '\n';
        }
        for (const auto& [fd, target] : process.fds) {
            // Targets starting with "@" are device names in the made-up /dev; others are kept as
            // written ("socket:[4711]", "/dev/ptmx").
            const std::string text = target.rfind('@', 0) == 0 ? dev(target.substr(1)) : target;
            fs::create_symlink(text, folder / "fd" / std::to_string(fd));
        }
        for (const auto& [fd, info] : process.fdinfo) {
            std::ofstream(folder / "fdinfo" / std::to_string(fd)) << "pos:\t0\nflags:\t02\n" << info;
        }
    }
    fs::path folder(const std::string& entry) const { return m_root / "proc" / entry; }

private:
    fs::path m_root;
};

constexpr long kOwnPid = 100;

TEST(PortHolder, FindsAnotherProcessWithTheDeviceOpenWhateverNameItUsed) {
    struct Case {
        const char* what;
        std::map<std::string, FakeProcess> processes;
        std::optional<PortHolder> holder;
    };
    const FakeProcess shell{"bash", {{0, "/dev/pts/1"}, {1, "pipe:[88]"}, {3, "socket:[4711]"}}, {}};
    const Case cases[] = {
        {"nobody", {{"1", {"init", {{0, "/dev/null"}}, {}}}, {"77", shell}}, std::nullopt},
        {"by the device's own name",
         {{"1", {"init", {}, {}}}, {"4242", {"rigctld", {{0, "/dev/null"}, {5, "@ttyUSB0"}}, {}}}},
         PortHolder{4242, "rigctld"}},
        {"by its by-id name",
         {{"500", {"flrig", {{7, "@serial/by-id/usb-FTDI_K3-if00-port0"}}, {}}}},
         PortHolder{500, "flrig"}},
        {"another device", {{"500", {"flrig", {{7, "@ttyUSB1"}}, {}}}}, std::nullopt},
        {"only this program itself", {{"100", {"quorvel", {{9, "@ttyUSB0"}}, {}}}}, std::nullopt},
        {"a second copy of this program",
         {{"100", {"quorvel", {{9, "@ttyUSB0"}}, {}}}, {"3000", {"quorvel", {{9, "@ttyUSB0"}}, {}}}},
         PortHolder{3000, "quorvel"}},
        {"the lowest of several",
         {{"9000", {"fldigi", {{4, "@ttyUSB0"}}, {}}}, {"812", {"rigctld", {{4, "@ttyUSB0"}}, {}}}},
         PortHolder{812, "rigctld"}},
        {"a holder whose name cannot be read", {{"600", {"", {{4, "@ttyUSB0"}}, {}}}}, PortHolder{600, ""}},
        // /proc/self and the like are not processes of their own; self would be this program.
        {"entries that are no process ids",
         {{"self", {"quorvel", {{9, "@ttyUSB0"}}, {}}}, {"net", shell}},
         std::nullopt},
    };
    for (const Case& c : cases) {
        FakeProcTable table;
        for (const auto& [entry, process] : c.processes) {
            table.add(entry, process);
        }

        const auto holder = findPortHolder(table.proc(), table.dev("ttyUSB0"), kOwnPid);

        ASSERT_EQ(holder.has_value(), c.holder.has_value()) << c.what;
        if (holder) {
            EXPECT_EQ(holder->pid, c.holder->pid) << c.what;
            EXPECT_EQ(holder->program, c.holder->program) << c.what;
        }
    }
}

TEST(PortHolder, PassesOverProcessesWhoseDescriptorsCannotBeRead) {
    FakeProcTable table;
    table.add("300", {"rigctld", {{4, "@ttyUSB0"}}, {}});
    table.add("200", {"gone", {}, {}});
    fs::remove(table.folder("200") / "fd"); // the process ended while the table was read
    const bool root = ::geteuid() == 0;
    if (!root) {
        // Another user's process: its fd folder is there but closed to us.
        table.add("250", {"rigctld", {{4, "@ttyUSB0"}}, {}});
        fs::permissions(table.folder("250") / "fd", fs::perms::none);
    }

    const auto holder = findPortHolder(table.proc(), table.dev("ttyUSB0"), kOwnPid);

    ASSERT_TRUE(holder.has_value());
    EXPECT_EQ(holder->pid, 300);
    EXPECT_FALSE(findPortHolder(table.proc() + "/missing", table.dev("ttyUSB0"), kOwnPid));
    EXPECT_FALSE(findPortHolder(table.proc(), table.dev("ttyUSB9"), kOwnPid)); // no such device
}

// A real pseudo-terminal, as the simulator offers one: its master, and the slave's path.
struct RealPty {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    std::string slave = master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0 ? ::ptsname(master) : "";
    ~RealPty() {
        if (master >= 0) {
            ::close(master);
        }
    }
    RealPty() = default;
    RealPty(const RealPty&) = delete;
    RealPty& operator=(const RealPty&) = delete;
    long index() const { return std::stol(slave.substr(slave.rfind('/') + 1)); }
};

TEST(PortHolder, TheFarEndOfAPseudoTerminalIsNoRival) {
    RealPty pty;
    ASSERT_FALSE(pty.slave.empty());
    const std::string mine = "tty-index:\t" + std::to_string(pty.index()) + "\n";
    const std::string other = "tty-index:\t" + std::to_string(pty.index() + 1) + "\n";
    struct Case {
        const char* what;
        FakeProcess process;
        bool held;
    };
    const Case cases[] = {
        {"slave only, as a program on the line", {"rigctld", {{3, pty.slave}}, {}}, true},
        {"both ends, as the simulator", {"quorvel-sim", {{4, "/dev/ptmx"}, {5, pty.slave}}, {{4, mine}}}, false},
        {"both ends, newer devpts naming", {"socat", {{4, "/dev/pts/ptmx"}, {5, pty.slave}}, {{4, mine}}}, false},
        {"the master of another terminal", {"xterm", {{4, "/dev/ptmx"}, {5, pty.slave}}, {{4, other}}}, true},
        {"a master whose fdinfo says nothing", {"xterm", {{4, "/dev/ptmx"}, {5, pty.slave}}, {}}, true},
        {"the master alone", {"quorvel-sim", {{4, "/dev/ptmx"}}, {{4, mine}}}, false},
    };
    for (const Case& c : cases) {
        FakeProcTable table;
        table.add("700", c.process);

        EXPECT_EQ(findPortHolder(table.proc(), pty.slave, kOwnPid).has_value(), c.held) << c.what;
    }
}

TEST(PortHolder, ReadsTheRealProcessTable) {
    // This test program itself, taken for another process, with a file open.
    const std::string program = fs::read_symlink("/proc/self/exe").filename().string().substr(0, 15);
    const long self = ::getpid();
    const int file = ::open("/proc/self/exe", O_RDONLY);
    ASSERT_GE(file, 0);
    const auto holder = findPortHolder("/proc", fs::read_symlink("/proc/self/exe").string(), kOwnPid);
    ::close(file);
    ASSERT_TRUE(holder.has_value());
    EXPECT_EQ(holder->pid, self);
    EXPECT_EQ(holder->program, program);
    EXPECT_FALSE(findPortHolder("/proc", fs::read_symlink("/proc/self/exe").string(), self));

    // Both ends of a pseudo-terminal: this process is the line's far end, not a rival on it.
    RealPty pty;
    ASSERT_FALSE(pty.slave.empty());
    const int slave = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    EXPECT_FALSE(findPortHolder("/proc", pty.slave, kOwnPid));
    ::close(slave);
}

TEST(PortHolder, TheRefusalNamesTheHolderAndTheWaysToShareTheRadio) {
    const std::string rigctld = portHeldDescription("/dev/ttyUSB0", {4242, "rigctld"});
    for (const char* part : {"Port already open: /dev/ttyUSB0", "rigctld (process 4242)",
                             "--radio rigctld:127.0.0.1:4532", "flrig:127.0.0.1:12345", "Com Port menu"}) {
        EXPECT_NE(rigctld.find(part), std::string::npos) << part << " in: " << rigctld;
    }
    const std::string unknown = portHeldDescription("/dev/ttyUSB0", {77, ""});
    EXPECT_NE(unknown.find("another program (process 77)"), std::string::npos) << unknown;

    EXPECT_EQ(portHeldDescription("/dev/ttyUSB0", {3000, "quorvel"}),
              "Port already open: Quorvel is already running with this port (/dev/ttyUSB0, process 3000)");
}

} // namespace
} // namespace quorvel
