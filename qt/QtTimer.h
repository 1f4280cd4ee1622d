#pragma once

#include "panel/Timer.h"

#include <QObject>
#include <QTimer>

namespace quorvel {

// A window timer on QTimer. It runs from its creation when created enabled with an interval.
class QtTimer : public QObject, public Timer {
    Q_OBJECT
public:
    QtTimer(std::chrono::milliseconds interval, QObject* parent = nullptr);

    const QTimer& qtimer() const { return m_timer; }

signals:
    void tick();

protected:
    void restart(bool ticking, std::chrono::milliseconds interval) override;

private:
    QTimer m_timer;
};

} // namespace quorvel
