// reply_latency: times the reply path of the real program, from a reply on the serial line to the
// panel showing it. The program starts through its own entry (runQuorvel): the same window, serial
// component, settings file and event delivery a user gets. The run is hooked in as the
// application is made, which is the one moment after Qt is up and before start-up opens the port.
#include "bench/ReplyLatencyRun.h"
#include "bench/RunOptions.h"
#include "link/PortRules.h"
#include "qt/RunQuorvel.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> argumentsOf(const QStringList& arguments) {
    std::vector<std::string> args;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        args.push_back(arguments[i].toStdString());
    }
    return args;
}

void startRun() {
    // main() has already refused a command line that does not parse.
    const auto parsed = quorvel::bench::parseRunOptions(argumentsOf(QCoreApplication::arguments()));
    const std::string mappingDir = quorvel::portSearchDirs(quorvel::userFolders()).mappingDir;
    // Owned by the application, so it goes after the window has closed its port.
    new quorvel::bench::ReplyLatencyRun(parsed.options.value_or(quorvel::bench::RunOptions{}), mappingDir,
                                        QCoreApplication::instance());
}
Q_COREAPP_STARTUP_FUNCTION(startRun)

// A private home and settings folder for the run, removed at its end: the user's own settings and
// port links are never read or touched.
class PrivateFolders {
public:
    explicit PrivateFolders(std::chrono::milliseconds interval) {
        std::string pattern = (fs::temp_directory_path() / "quorvel-latency.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary folder");
        }
        m_root = pattern;
        fs::create_directories(m_root / "home");
        fs::create_directories(m_root / "config" / "Quorvel" / "ports");
        fs::create_directories(m_root / "runtime");
        fs::permissions(m_root / "runtime", fs::perms::owner_all, fs::perm_options::replace);
        std::ofstream settings(m_root / "config" / "Quorvel" / "Quorvel.conf");
        settings << "[settings]\nport=1\npoll=1\npolltime=" << interval.count() << "\n";
        if (!settings.flush()) {
            throw std::runtime_error("cannot write the settings file");
        }
        ::setenv("HOME", (m_root / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (m_root / "runtime").c_str(), 1);
    }
    ~PrivateFolders() {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    PrivateFolders(const PrivateFolders&) = delete;
    PrivateFolders& operator=(const PrivateFolders&) = delete;

private:
    fs::path m_root;
};

} // namespace

int main(int argc, char** argv) {
    using namespace quorvel::bench;
    const ParsedRunOptions parsed = parseRunOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.help) {
        std::fputs(runUsage().c_str(), stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "reply_latency: %s\n%s", parsed.error.c_str(), runUsage().c_str());
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    try {
        const PrivateFolders folders(parsed.options->interval);
        return quorvel::runQuorvel(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "reply_latency: %s\n", e.what());
        return 1;
    }
}
