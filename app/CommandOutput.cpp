#include "app/CommandOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quorvel {

int printCommandOutput(std::string_view program, std::string_view text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    // The text usually waits in the buffer until here, so this is where a write fails.
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (written && flushed && std::ferror(stdout) == 0) {
        return 0;
    }
    std::fprintf(stderr, "%.*s: cannot write to standard output: %s\n", static_cast<int>(program.size()),
                 program.data(), std::strerror(error));
    return 1;
}

} // namespace quorvel
