#include "panel/Timer.h"

#include "link/RunTimeError.h"

namespace quorvel {

void Timer::setEnabled(bool enabled) {
    if (enabled == m_enabled) {
        return; // enabling a running timer does not restart its count
    }
    m_enabled = enabled;
    restart(m_enabled && m_interval.count() > 0, m_interval);
}

void Timer::setInterval(long long milliseconds) {
    if (milliseconds < 0 || milliseconds > kMaxIntervalMs) {
        throw RunTimeError::invalidPropertyValue();
    }
    m_interval = std::chrono::milliseconds{milliseconds};
    restart(m_enabled && m_interval.count() > 0, m_interval);
}

} // namespace quorvel
