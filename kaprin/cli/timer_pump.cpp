#include "kaprin/cli/timer_pump.h"

#include <algorithm>

namespace kaprin::cli {

namespace {
std::uint32_t Period(const Timer& t) {
    return static_cast<std::uint32_t>(std::max(t.intervalMs, 1));
}
} // namespace

void TimerPump::Add(Timer& timer, std::function<void()> tick) {
    entries_.push_back(Entry{&timer, std::move(tick)});
}

int TimerPump::Arm() {
    std::uint32_t now = clock_.TickCount();
    int next = -1;
    for (Entry& e : entries_) {
        if (e.running)
            continue;
        if (!e.timer->enabled) {
            e.armed = false;
            continue;
        }
        if (!e.armed) {
            e.armed = true;
            e.due = now + Period(*e.timer);
        }
        // Differences of 32-bit ticks stay right across the counter's wrap-around.
        auto left = static_cast<std::int32_t>(e.due - now);
        int wait = std::max<std::int32_t>(left, 0);
        next = next < 0 ? wait : std::min(next, wait);
    }
    return next;
}

bool TimerPump::FireDue() {
    bool ran = false;
    for (Entry& e : entries_) {
        if (e.running || !e.armed || !e.timer->enabled)
            continue;
        if (static_cast<std::int32_t>(clock_.TickCount() - e.due) < 0)
            continue;
        e.running = true;
        try {
            e.tick();
        } catch (...) {
            e.running = false;
            throw;
        }
        e.running = false;
        ran = true;
        e.armed = e.timer->enabled;
        e.due = clock_.TickCount() + Period(*e.timer);
    }
    return ran;
}

} // namespace kaprin::cli
