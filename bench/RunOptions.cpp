#include "bench/RunOptions.h"

#include <charconv>

namespace quorvel::bench {

namespace {

// The whole number the text spells, or -1 for anything else (no option takes a negative).
long long wholeNumber(const std::string& text) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && last == end && value >= 0 ? value : -1;
}

} // namespace

std::string runUsage() {
    return "Usage: reply_latency [--replies N] [--warm-up N] [--interval MS] [--turnaround US]\n"
           "                     [--samples FILE]\n"
           "Runs the Quorvel window with its real serial port on a pseudo-terminal linked as Com1,\n"
           "plays the radio on the other end and times each reply, from its write to the slider and\n"
           "the power box showing it, and to the window's repaint. Offscreen unless QT_QPA_PLATFORM\n"
           "says otherwise.\n"
           "\n"
           "  --replies N      replies to time (default 400)\n"
           "  --warm-up N      replies shown first and not timed (default 10)\n"
           "  --interval MS    poll interval, 500 to 10000 (default 500)\n"
           "  --turnaround US  the radio's time from reading a query to writing its reply,\n"
           "                   0 to 100000 microseconds (default 0: at once)\n"
           "  --samples FILE   also write each timed reply's figures to FILE as CSV\n";
}

ParsedRunOptions parseRunOptions(const std::vector<std::string>& args) {
    ParsedRunOptions result;
    RunOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h") {
            result.help = true;
            return result;
        }
        if (name == "--samples") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                result.error = "--samples needs a file name";
                return result;
            }
            options.samplesFile = args[++i];
            continue;
        }
        if (name != "--replies" && name != "--warm-up" && name != "--interval" && name != "--turnaround") {
            if (name.rfind("--", 0) == 0) {
                result.error = "unknown option " + name;
                return result;
            }
            continue;
        }
        const long long value = i + 1 < args.size() ? wholeNumber(args[i + 1]) : -1;
        ++i;
        if (name == "--replies" && value >= 1 && value <= 100000) {
            options.replies = static_cast<std::size_t>(value);
        } else if (name == "--warm-up" && value >= 0 && value <= 1000) {
            options.warmUp = static_cast<std::size_t>(value);
        } else if (name == "--interval" && value >= 500 && value <= 10000) {
            options.interval = std::chrono::milliseconds{value};
        } else if (name == "--turnaround" && value >= 0 && value <= 100000) {
            options.turnaround = std::chrono::microseconds{value};
        } else {
            result.error = name + " needs a whole number in its range";
            return result;
        }
    }
    result.options = options;
    return result;
}

} // namespace quorvel::bench
