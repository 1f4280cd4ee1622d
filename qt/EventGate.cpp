#include "qt/EventGate.h"

#include <utility>

namespace quorvel {

void EventGate::user(Handler handler) {
    if (m_closed) {
        return;
    }
    if (m_busy) {
        m_queued.push_back(std::move(handler));
        return;
    }
    runNow(handler);
}

void EventGate::tick(const Handler& handler) {
    if (m_closed || m_busy) {
        return;
    }
    runNow(handler);
}

void EventGate::receive(Handler handler) {
    if (m_closed) {
        return;
    }
    if (m_busy) {
        if (!m_pendingReceive) {
            m_pendingReceive = std::move(handler);
        }
        return;
    }
    runNow(handler);
}

void EventGate::close() {
    m_closed = true;
    m_queued.clear();
    m_pendingReceive = nullptr;
}

void EventGate::runNow(const Handler& handler) {
    struct BusyScope {
        bool& busy;
        explicit BusyScope(bool& flag) : busy(flag) { busy = true; }
        ~BusyScope() { busy = false; }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;
    } scope(m_busy);

    handler();
    while (!m_closed) {
        if (!m_queued.empty()) {
            const Handler next = std::move(m_queued.front());
            m_queued.pop_front();
            next();
        } else if (m_pendingReceive) {
            const Handler next = std::exchange(m_pendingReceive, nullptr);
            next();
        } else {
            break;
        }
    }
}

} // namespace quorvel
