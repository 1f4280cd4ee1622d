#include "qt/QtTimer.h"

namespace quorvel {

QtTimer::QtTimer(std::chrono::milliseconds interval, QObject* parent) : QObject(parent), Timer(interval) {
    connect(&m_timer, &QTimer::timeout, this, &QtTimer::tick);
    restart(enabled() && interval.count() > 0, interval);
}

void QtTimer::restart(bool ticking, std::chrono::milliseconds interval) {
    if (ticking) {
        m_timer.start(interval);
    } else {
        m_timer.stop();
    }
}

} // namespace quorvel
