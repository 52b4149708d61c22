#include "system_clock.h"

#include <cerrno>
#include <ctime>

namespace pellin {

namespace {

uint32_t MonotonicTick(void*) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

void SleepMs(void*, uint32_t ms) {
    timespec rest{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}

} // namespace

Clock SystemClock() {
    return Clock{nullptr, &MonotonicTick, &SleepMs};
}

} // namespace pellin
