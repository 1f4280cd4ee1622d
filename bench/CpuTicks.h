#pragma once

#include <optional>
#include <string_view>

namespace quorvel::bench {

// CPU time in clock ticks, of the whole machine and of this process, read from /proc. A run reads
// them at its start and its end to tell how busy other programs kept the processors meanwhile: on
// a small machine a compile next door moves the tail of every latency figure.
struct CpuTicks {
    long long machineBusy = 0; // all processors, every state but idle and waiting for I/O
    long long own = 0;         // this process, all its threads: utime + stime
};

// The busy ticks of the first ("cpu ") line of /proc/stat.
std::optional<long long> machineBusyTicks(std::string_view procStat);
// utime + stime of a /proc/PID/stat text.
std::optional<long long> processTicks(std::string_view pidStat);

// Reads both now; zero where /proc cannot be read.
CpuTicks readCpuTicks();

// What everything but this process used between two readings, in percent of all processors.
double othersPercent(const CpuTicks& before, const CpuTicks& after, double seconds, long ticksPerSecond,
                     long processors);

} // namespace quorvel::bench
