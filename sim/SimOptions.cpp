#include "sim/SimOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace quorvel::sim {

namespace {

constexpr int kMaxPort = 255;
constexpr double kMaxSeconds = 24.0 * 3600.0;
constexpr double kMaxDelayMs = 60000.0;

std::optional<double> parseNumber(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> parseWhole(const std::string& text) {
    const auto value = parseNumber(text);
    if (!value || *value != std::floor(*value) || std::fabs(*value) > 1e9) {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

std::optional<std::chrono::milliseconds> parseDuration(const std::string& text, double unitMs, double maxMs) {
    const auto value = parseNumber(text);
    if (!value || *value < 0 || *value * unitMs > maxMs) {
        return std::nullopt;
    }
    return std::chrono::milliseconds{static_cast<long long>(std::llround(*value * unitMs))};
}

} // namespace

std::string simUsage() {
    return "Usage: quorvel-sim [options]\n"
           "Simulates the radio's CAT port on a pseudo-terminal linked as Com N, answering\n"
           "\"PC;\" with its power and taking \"PCnnnr;\" as a new power. It also answers what\n"
           "rigctld and flrig ask a K3 (frequency, mode, filter and so on), so they can run\n"
           "against it. Each exchange is printed as '<monotonic seconds> rx|tx <text>'.\n"
           "\n"
           "  --port N           Com number to appear as (default 1)\n"
           "  --dir PATH         mapping folder (default $XDG_CONFIG_HOME/Quorvel/ports)\n"
           "  --power P          initial power in watts (default 50)\n"
           "  --range R          initial range: 0 = 0.0-12.0 W in tenths, 1 = 0-110 W (default 1)\n"
           "  --silent           answer nothing\n"
           "  --silent-after S   stop answering after S seconds\n"
           "  --busy             answer \"?;\" to everything\n"
           "  --basic            start in the radio's basic command mode (K20): \"PC;\" is\n"
           "                     answered \"PCnnn;\", without the range digit, until a\n"
           "                     program sends \"K22;\"\n"
           "  --answer TEXT      answer TEXT to everything, as a noisy line or a faulty radio\n"
           "  --split            send each reply in two writes with a short pause between\n"
           "  --delay MS         wait MS milliseconds before each reply\n"
           "  --unplug-after S   close the port and remove its link S seconds after it appears\n"
           "  --replug-after S   S seconds after each unplugging, plug in again: a new\n"
           "                     pseudo-terminal behind the same link\n"
           "  --quit-after S     exit after S seconds\n"
           "  -h, --help         show this text\n"
           "  --version          show the version\n"
           "\n"
           "SIGUSR1 pulls the plug at once.\n";
}

ParsedOptions parseSimOptions(const std::vector<std::string>& args) {
    ParsedOptions result;
    SimOptions options;
    double watts = 50;
    auto fail = [&result](std::string message) {
        result.error = std::move(message);
        return result;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h") {
            result.help = true;
            return result;
        }
        if (name == "--version") {
            result.version = true;
            return result;
        }
        if (name == "--silent") {
            options.silent = true;
            continue;
        }
        if (name == "--busy") {
            options.busy = true;
            continue;
        }
        if (name == "--basic") {
            options.powerReplies = PowerReplies::Basic;
            continue;
        }
        if (name == "--split") {
            options.split = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            return fail(name.rfind("--", 0) == 0 ? name + " needs a value" : "unknown argument " + name);
        }
        const std::string& value = args[++i];
        if (name == "--port") {
            const auto port = parseWhole(value);
            if (!port || *port < 1 || *port > kMaxPort) {
                return fail("--port takes a Com number from 1 to 255, not " + value);
            }
            options.port = *port;
        } else if (name == "--dir") {
            if (value.empty()) {
                return fail("--dir needs a folder");
            }
            options.dir = value;
        } else if (name == "--power") {
            const auto number = parseNumber(value);
            if (!number) {
                return fail("--power takes watts, not " + value);
            }
            watts = *number;
        } else if (name == "--range") {
            if (value != "0" && value != "1") {
                return fail("--range takes 0 or 1, not " + value);
            }
            options.power.range = value[0] - '0';
        } else if (name == "--answer") {
            if (value.empty()) {
                return fail("--answer needs a text");
            }
            options.fixedAnswer = value;
        } else if (name == "--delay") {
            const auto delay = parseDuration(value, 1.0, kMaxDelayMs);
            if (!delay) {
                return fail("--delay takes milliseconds, not " + value);
            }
            options.delay = *delay;
        } else if (name == "--silent-after" || name == "--unplug-after" || name == "--replug-after" ||
                   name == "--quit-after") {
            const auto after = parseDuration(value, 1000.0, kMaxSeconds * 1000.0);
            if (!after) {
                return fail(std::string(name).append(" takes seconds, not ").append(value));
            }
            if (name == "--silent-after") {
                options.silentAfter = after;
            } else if (name == "--unplug-after") {
                options.unplugAfter = after;
            } else if (name == "--replug-after") {
                options.replugAfter = after;
            } else {
                options.quitAfter = after;
            }
        } else {
            return fail("unknown option " + name);
        }
    }

    // The radio keeps tenths in the low range and whole watts in the high range.
    const double digits = options.power.range == 0 ? watts * 10 : watts;
    const double whole = std::round(digits);
    const bool inRange = whole >= 0 && whole <= kHighRangeMaxDigits + kLowRangeMaxDigits;
    options.power.digits = inRange ? static_cast<int>(whole) : -1;
    if (std::fabs(digits - whole) > 1e-6 || !isValidPower(options.power)) {
        return fail(options.power.range == 0 ? "--power in range 0 is 0.0 to 12.0 W in tenths"
                                             : "--power in range 1 is 0 to 110 whole watts");
    }
    result.options = options;
    return result;
}

} // namespace quorvel::sim
