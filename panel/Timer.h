#pragma once

#include <chrono>

namespace quorvel {

// A window timer. It keeps its own Enabled and Interval like a classic timer: intervals from 0 to
// 65535 ms, 0 meaning no ticks; any other interval is refused with "Invalid property value" (380),
// so no stored setting can make the program flood the radio.
class Timer {
public:
    static constexpr long long kMaxIntervalMs = 65535;

    virtual ~Timer() = default;

    void setEnabled(bool enabled);
    void setInterval(long long milliseconds);
    bool enabled() const { return m_enabled; }
    std::chrono::milliseconds interval() const { return m_interval; }

protected:
    explicit Timer(std::chrono::milliseconds interval, bool enabled = true)
        : m_enabled(enabled), m_interval(interval) {}

    // Called on every change; the count of the interval starts afresh whenever ticking is true.
    // ticking is false while disabled or while the interval is 0.
    virtual void restart(bool ticking, std::chrono::milliseconds interval) = 0;

private:
    bool m_enabled;
    std::chrono::milliseconds m_interval;
};

} // namespace quorvel
