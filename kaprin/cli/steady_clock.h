// The model's millisecond tick counter on the monotonic clock.
#pragma once

#include "kaprin/base/ports.h"

#include <chrono>

namespace kaprin::cli {

class SteadyClock : public Clock {
public:
    std::uint32_t TickCount() override {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        return static_cast<std::uint32_t>(ms.count());
    }
};

} // namespace kaprin::cli
