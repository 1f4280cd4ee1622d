#include "sim/ExchangeLog.h"

#include <cstdio>

namespace quorvel::sim {

std::string exchangeLine(std::chrono::steady_clock::duration sinceEpoch, std::string_view kind, std::string_view text) {
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(sinceEpoch).count();
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%lld.%06lld", static_cast<long long>(micros / 1000000),
                  static_cast<long long>(micros % 1000000));
    std::string line = stamp;
    line += ' ';
    line += kind;
    if (!text.empty()) {
        line += ' ';
    }
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            line += "\\\\";
        } else if (byte < 0x20 || byte >= 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(byte));
            line += escaped;
        } else {
            line += c;
        }
    }
    line += '\n';
    return line;
}

void printExchange(std::string_view kind, std::string_view text) {
    const std::string line = exchangeLine(std::chrono::steady_clock::now().time_since_epoch(), kind, text);
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}

} // namespace quorvel::sim
