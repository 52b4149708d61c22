// Runs the model's timers (t1, t2) from the front end's event pump. A timer's period
// starts when the front end sees it enabled and again after each tick has returned, so
// a step that re-arms its own timer waits a whole period, as a window timer does; a
// timer never ticks while its own tick is still running.
#pragma once

#include "kaprin/base/control.h"
#include "kaprin/base/ports.h"

#include <cstdint>
#include <functional>
#include <list>

namespace kaprin::cli {

class TimerPump {
public:
    explicit TimerPump(Clock& clock) : clock_(clock) {}

    void Add(Timer& timer, std::function<void()> tick);
    // Arms newly enabled timers, forgets disabled ones; returns the milliseconds until
    // the next tick is due (0: now), or -1 when no timer is armed.
    int Arm();
    // Runs each due tick once; true when one ran.
    bool FireDue();

private:
    struct Entry {
        Timer* timer;
        std::function<void()> tick;
        bool armed = false;
        bool running = false;
        std::uint32_t due = 0;
    };
    Clock& clock_;
    std::list<Entry> entries_;
};

} // namespace kaprin::cli
