// Line control at job start, the test frame and the two device probes.
#include "engine.h"
#include "record.h"

namespace pellin {

namespace {

constexpr uint32_t kDeviceSettleMs = 100;
constexpr uint32_t kEchoTimeMs = 70;
constexpr uint32_t kZSettleMs = 20;
constexpr uint32_t kZTryMs = 10;
constexpr uint32_t kZAfterAnswerMs = 50;
constexpr int kZTries = 21;
constexpr uint32_t kZDrainLimitMs = 1000;

} // namespace

void Engine::SetLines() {
    // The power-on flag drives RTS, the boot-on flag DTR; a line that is on is first released
    // and then asserted, so the device sees an edge.
    port_.ClrRTS();
    if (state_.powerOn.load() != 0)
        port_.SetRTS();
    port_.ClrDTR();
    if (state_.bootOn.load() != 0)
        port_.SetDTR();
}

void Engine::TESTFUNC(uint8_t selector) {
    if (!Acquire())
        return;
    // 1. The result is not looked at: on a closed port the write is harmless and no reply
    // comes, so the wait takes its full second.
    (void)port_.OpenPort();
    // 2. One frame, its answer ignored.
    PutFrame(selector != 0 ? kStartFrame : kShutDownFrame);
    (void)SendAndWait(1);
    // 3. Close.
    port_.ClosePort();
    Release();
}

int32_t Engine::CheckDevice() {
    if (!AcquireForProbe())
        return 0;
    // 1. Open.
    if (port_.OpenPort() != 0) {
        Release();
        return 0;
    }
    // 2. Let the device settle; what it sent meanwhile is no echo.
    Pause(kDeviceSettleMs);
    DiscardInput();
    // 3. Each name character must come back, timed from the end of its write.
    int32_t result = 1;
    for (const char* c = kDeviceName; *c != '\0'; ++c) {
        port_.WritePort(c, 1);
        const uint32_t start = clock_.Tick();
        uint8_t echo = 0;
        if (!WaitByte(start, kEchoTimeMs, &echo) || echo != static_cast<uint8_t>(*c)) {
            result = 0;
            break;
        }
    }
    // 4. Close, leaving no late echo behind.
    DiscardInput();
    port_.ClosePort();
    Release();
    return result;
}

int32_t Engine::CheckZ() {
    if (!AcquireForProbe())
        return -1;
    // 1. Open; a port that cannot be used is told apart from a silent line.
    if (port_.OpenPort() != 0) {
        Release();
        return -1;
    }
    // 2. Let the device settle.
    Pause(kZSettleMs);
    // 3. Each try lasts 10 ms from before its write; a wrong byte ends it at once.
    static const char probe = 'Z';
    for (int i = 0; i < kZTries; ++i) {
        const uint32_t start = clock_.Tick();
        port_.WritePort(&probe, 1);
        uint8_t answer = 0;
        if (WaitByte(start, kZTryMs, &answer) && answer == static_cast<uint8_t>(probe)) {
            // Echoes of the earlier tries may still be under way; the wait takes them in, so
            // that none is left to be taken for the answer to a job's first frame.
            DiscardUntilQuiet(kZAfterAnswerMs, kZDrainLimitMs);
            port_.ClosePort();
            Release();
            return 1;
        }
    }
    // 4. No answer.
    port_.ClosePort();
    Release();
    return 0;
}

} // namespace pellin
