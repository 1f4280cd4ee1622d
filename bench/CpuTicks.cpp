#include "bench/CpuTicks.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quorvel::bench {

namespace {

std::vector<long long> numbersAfter(std::string_view text, std::size_t from, std::size_t count) {
    std::vector<long long> numbers;
    const char* p = text.data() + from;
    const char* end = text.data() + text.size();
    while (numbers.size() < count && p < end) {
        while (p < end && *p == ' ') {
            ++p;
        }
        long long value = 0;
        const auto [next, error] = std::from_chars(p, end, value);
        if (error != std::errc()) {
            break;
        }
        numbers.push_back(value);
        p = next;
    }
    return numbers;
}

std::string slurp(const char* path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

std::optional<long long> machineBusyTicks(std::string_view procStat) {
    if (procStat.substr(0, 4) != "cpu ") {
        return std::nullopt;
    }
    // user nice system idle iowait irq softirq steal
    const std::vector<long long> n = numbersAfter(procStat, 4, 8);
    if (n.size() < 7) {
        return std::nullopt;
    }
    return n[0] + n[1] + n[2] + n[5] + n[6] + (n.size() > 7 ? n[7] : 0);
}

std::optional<long long> processTicks(std::string_view pidStat) {
    // The command name sits in parentheses and may itself hold blanks and parentheses.
    const std::size_t close = pidStat.rfind(')');
    if (close == std::string_view::npos || close + 2 > pidStat.size()) {
        return std::nullopt;
    }
    // After the name: state, then numbers from ppid on; utime and stime are the 12th and 13th.
    const std::size_t numbersFrom = pidStat.find(' ', close + 2);
    if (numbersFrom == std::string_view::npos) {
        return std::nullopt;
    }
    const std::vector<long long> n = numbersAfter(pidStat, numbersFrom, 12);
    if (n.size() < 12) {
        return std::nullopt;
    }
    return n[10] + n[11];
}

CpuTicks readCpuTicks() {
    CpuTicks ticks;
    ticks.machineBusy = machineBusyTicks(slurp("/proc/stat")).value_or(0);
    ticks.own = processTicks(slurp("/proc/self/stat")).value_or(0);
    return ticks;
}

double othersPercent(const CpuTicks& before, const CpuTicks& after, double seconds, long ticksPerSecond,
                     long processors) {
    const double available = seconds * static_cast<double>(ticksPerSecond) * static_cast<double>(processors);
    if (available <= 0) {
        return 0;
    }
    const auto others = static_cast<double>((after.machineBusy - before.machineBusy) - (after.own - before.own));
    return others > 0 ? others / available * 100.0 : 0.0;
}

} // namespace quorvel::bench
