#include "app/Clock.h"

#include <chrono>
#include <ctime>

namespace quorvel {

int SystemClock::currentYear() const {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    return local.tm_year + 1900;
}

} // namespace quorvel
