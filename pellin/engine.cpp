#include "engine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

namespace pellin {

int32_t ProgressPercent(uint64_t position, uint64_t length) {
    if (length == 0)
        return 0;
    const uint64_t percent = position * 100 / length;
    return percent >= 99 ? 99 : static_cast<int32_t>(percent);
}

Engine::Engine(const Transport& port, const Clock& clock, Launcher launcher)
    : port_(port), clock_(clock), launcher_(std::move(launcher)) {}

Engine::Launcher Engine::DetachedThread() {
    return [](std::function<void()> job) {
        try {
            std::thread(std::move(job)).detach();
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    };
}

bool Engine::Acquire() {
    bool expected = false;
    return busy_.compare_exchange_strong(expected, true, std::memory_order_acq_rel);
}

bool Engine::AcquireForProbe() {
    const uint32_t start = clock_.Tick();
    while (!Acquire()) {
        if (clock_.Tick() - start >= kProbeWaitForJobMs)
            return false;
        clock_.Sleep(5);
    }
    return true;
}

void Engine::Release() {
    busy_.store(false, std::memory_order_release);
}

int32_t Engine::getPercent() {
    int32_t expected = 100;
    if (state_.percent.compare_exchange_strong(expected, 0))
        return 100;
    return expected;
}

int32_t Engine::getBlock() {
    return state_.block.load();
}

int32_t Engine::getError() {
    return state_.error.exchange(0);
}

int32_t Engine::usePort(int32_t index, int32_t baud) {
    // The name buffer holds "\\.\COM" and four digits.
    if (index < 0 || index > 9998)
        return -1;
    std::snprintf(portName_, sizeof portName_, "\\\\.\\COM%d", static_cast<int>(index + 1));
    const int32_t result = port_.PortInit(portName_, baud, 0, 8, 0);
    if (result == 0 && baud > 0)
        baud_.store(baud);
    return result;
}

void Engine::StartJob(const char* path, int32_t fontFlag) {
    // Two workers on one port would interleave their frames.
    if (!Acquire())
        return;
    state_.percent.store(0);
    state_.block.store(0);
    state_.fontFlag = fontFlag;
    if (path == nullptr || std::strlen(path) >= sizeof imagePath_) {
        state_.error.store(kFileError);
        Release();
        return;
    }
    std::memset(imagePath_, 0, sizeof imagePath_);
    std::memcpy(imagePath_, path, std::strlen(path));
    if (!launcher_([this] { RunWorker(); })) {
        state_.error.store(kRefusedOther);
        Release();
    }
}

void Engine::RunWorker() {
    // 1. Link start; on failure the job ends with code 4.
    if (!LinkStart()) {
        state_.error.store(kRefusedOther);
        port_.ClosePort();
        Release();
        return;
    }
    // 2. The transfer publishes percent, block count and error code itself.
    Transfer(imagePath_);
    // 3. Done.
    port_.ClosePort();
    Release();
}

bool Engine::WaitByte(uint32_t start, uint32_t limitMs, uint8_t* byte) {
    for (;;) {
        if (port_.ReadPort(byte) != 0)
            return true;
        // Unsigned difference: a wrap of the tick counter is harmless.
        const uint32_t elapsed = clock_.Tick() - start;
        if (elapsed >= limitMs)
            return false;
        port_.WaitPort(static_cast<int32_t>(limitMs - elapsed));
    }
}

void Engine::Pause(uint32_t ms) {
    const uint32_t start = clock_.Tick();
    for (;;) {
        const uint32_t elapsed = clock_.Tick() - start;
        if (elapsed >= ms)
            return;
        clock_.Sleep(ms - elapsed);
    }
}

void Engine::DiscardInput() {
    uint8_t byte = 0;
    for (int i = 0; i < kMaxDiscardBytes && port_.ReadPort(&byte) != 0; ++i) {
    }
}

void Engine::DiscardUntilQuiet(uint32_t quietMs, uint32_t limitMs) {
    const uint32_t start = clock_.Tick();
    uint32_t heard = start;
    for (;;) {
        uint8_t byte = 0;
        if (port_.ReadPort(&byte) != 0) {
            heard = clock_.Tick();
            if (heard - start < limitMs)
                continue;
        }
        const uint32_t now = clock_.Tick();
        const uint32_t quiet = now - heard;
        const uint32_t elapsed = now - start;
        if (quiet >= quietMs || elapsed >= limitMs)
            return;
        port_.WaitPort(static_cast<int32_t>(std::min(quietMs - quiet, limitMs - elapsed)));
    }
}

uint32_t Engine::CharacterTimesMs(uint32_t count) const {
    const uint64_t bits = static_cast<uint64_t>(count) * 10 * 1000;
    const uint64_t baud = static_cast<uint64_t>(baud_.load());
    return static_cast<uint32_t>(std::max<uint64_t>(1, (bits + baud - 1) / baud));
}

} // namespace pellin
