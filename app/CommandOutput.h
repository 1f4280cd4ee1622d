#pragma once

#include <string_view>

namespace quorvel {

// Writes what --help or --version prints to standard output and returns the exit status: 0, or 1
// with "<program>: cannot write to standard output: <reason>" on standard error when the text did
// not get out (a full disk, a closed output). A script reading the text must not take a failed
// write for an answer.
int printCommandOutput(std::string_view program, std::string_view text);

} // namespace quorvel
