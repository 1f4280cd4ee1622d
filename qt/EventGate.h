#pragma once

#include <deque>
#include <functional>

namespace quorvel {

// Hands the window one event at a time. Qt keeps delivering events while a handler waits inside a
// modal box, and a handler's own focus move arrives before the handler has returned; the classic
// toolkit the handlers were written for never ran two of them at once. So, while a handler runs:
// a timer tick is dropped (the timer comes round again), a receive event is held and delivered
// once the handler has ended (one is enough: the handler reads everything that has arrived), and
// a user event the handler caused runs right after it, in the order raised.
class EventGate {
public:
    using Handler = std::function<void()>;

    // A user's action (click, key, focus move, menu choice) or one a running handler caused.
    void user(Handler handler);
    // A timer tick.
    void tick(const Handler& handler);
    // The serial component's receive event.
    void receive(Handler handler);

    // Once the program has ended, nothing more is delivered, not even what is waiting.
    void close();

    bool busy() const { return m_busy; }
    bool closed() const { return m_closed; }

private:
    void runNow(const Handler& handler);

    bool m_busy = false;
    bool m_closed = false;
    std::deque<Handler> m_queued;
    Handler m_pendingReceive;
};

} // namespace quorvel
