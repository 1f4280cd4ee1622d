#include "qt/QtTimer.h"

namespace quorvel {

QtTimer::QtTimer(std::chrono::milliseconds interval, QObject* parent) : QObject(parent), Timer(interval) {
    // Never early: the default coarse timer may fire 5 % before its interval, and the link lamp
    // must not turn red before 11000 ms of silence.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &QtTimer::onTimeout);
    restart(enabled() && interval.count() > 0, interval);
}

void QtTimer::restart(bool ticking, std::chrono::milliseconds interval) {
    m_ticking = ticking;
    if (!ticking) {
        return;
    }
    // An armed QTimer with this period fires no later than one period from now: it stays, and
    // makes up the difference when it fires.
    if (m_timer.isActive() && interval == m_period) {
        m_due = Clock::now() + interval;
        m_deferred = true;
        return;
    }
    m_period = interval;
    m_deferred = false;
    m_timer.start(interval);
}

void QtTimer::onTimeout() {
    if (!m_ticking) {
        m_timer.stop();
        return;
    }
    if (m_deferred) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_due - Clock::now());
        if (left.count() > 0) {
            m_timer.start(left);
            return;
        }
        m_deferred = false;
        m_timer.start(m_period);
    }
    emit tick();
}

} // namespace quorvel
