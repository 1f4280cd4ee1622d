#pragma once

#include "panel/Timer.h"

#include <QObject>
#include <QTimer>

#include <chrono>

namespace quorvel {

// A window timer on QTimer. It runs from its creation when created enabled with an interval.
//
// The watchdog is stopped and started again on every reply, twice a second. Rearming a QTimer
// each time would unregister and register it with the event loop; instead a restart with the same
// interval only moves the due time, and the QTimer, when it fires before that, waits out the rest.
// Stopping is lazy too: a timer disabled and enabled again within one handler never touches the
// QTimer, and a QTimer left running while disabled stops at its next timeout without a tick.
class QtTimer : public QObject, public Timer {
    Q_OBJECT
public:
    QtTimer(std::chrono::milliseconds interval, QObject* parent = nullptr);

    // Whether ticks are to come: enabled, with an interval above 0.
    bool ticking() const { return m_ticking; }
    const QTimer& qtimer() const { return m_timer; }

signals:
    void tick();

protected:
    void restart(bool ticking, std::chrono::milliseconds interval) override;

private:
    using Clock = std::chrono::steady_clock;

    void onTimeout();

    QTimer m_timer;
    bool m_ticking = false;
    std::chrono::milliseconds m_period{0};
    // Set when a restart came while the QTimer was already armed for an earlier moment.
    bool m_deferred = false;
    Clock::time_point m_due;
};

} // namespace quorvel
