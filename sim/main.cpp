// quorvel-sim: a stand-in for the radio on a pseudo-terminal, for trying the program without one
// and for the end-to-end tests.
#include "app/CommandOutput.h"
#include "app/Version.h"
#include "link/PortRules.h"
#include "sim/SimOptions.h"
#include "sim/Simulator.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace quorvel::sim;
    const ParsedOptions parsed = parseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.help) {
        return quorvel::printCommandOutput("quorvel-sim", simUsage());
    }
    if (parsed.version) {
        return quorvel::printCommandOutput("quorvel-sim", "quorvel-sim " + std::string(quorvel::kVersionText) + "\n");
    }
    if (!parsed.options) {
        std::fprintf(stderr, "quorvel-sim: %s\n%s", parsed.error.c_str(), simUsage().c_str());
        return 2;
    }
    // The same folder the program looks in, unless told otherwise.
    std::string dir = parsed.options->dir;
    if (dir.empty()) {
        dir = quorvel::portSearchDirs(quorvel::userFolders()).mappingDir;
    }
    if (dir.empty()) {
        std::fputs("quorvel-sim: no home or XDG_CONFIG_HOME folder is known; give --dir\n", stderr);
        return 2;
    }
    try {
        Simulator simulator(*parsed.options, dir);
        return simulator.run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quorvel-sim: %s\n", e.what());
        return 1;
    }
}
