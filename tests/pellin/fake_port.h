// A scripted serial port and a virtual millisecond clock for the protocol tests. Waiting jumps
// the clock to the next scripted byte (or to the end of the wait), so no real time passes.
#pragma once

#include "transport.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pellintest {

struct Answer {
    uint8_t byte;
    uint32_t afterMs = 1; // from the end of the write
};

class FakePort {
public:
    // Answers to one WritePort call (a whole frame or a single byte).
    using Device = std::function<std::vector<Answer>(const std::string& written)>;

    explicit FakePort(uint32_t startTick = 1000);
    FakePort(const FakePort&) = delete;
    FakePort& operator=(const FakePort&) = delete;

    // Tables whose operations work on this fake; it must outlive every engine given them.
    pellin::Transport Transport();
    pellin::Clock Clock();

    // Script.
    Device device; // default: no answer at all
    int32_t openResult = 0;
    int32_t portInitResult = 0;
    bool yieldInWaits = false; // let other threads run at every wait (concurrency tests)

    // Record.
    std::vector<std::string> calls; // "OpenPort", "SetRTS", "write <text>", ...
    std::vector<std::string> writes;
    std::vector<uint32_t> writeTimes; // virtual ms since the start of each write
    std::string portInitName;
    std::vector<int32_t> portInitArgs;
    // Virtual time since the fake was made; atomic because a probe waiting for a job reads and
    // advances it while the job runs.
    std::atomic<uint32_t> nowMs{0};
    bool open = false;
    // A snapshot taken at every write, e.g. of the job's percent.
    std::function<void()> onWrite;
    // Called at every pause of the clock (not at waits for a byte).
    std::function<void()> onSleep;

    // Scripts.
    static Device AckEverything(); // ACK frames, echo single bytes
    // Answers frames in turn from replies (an empty optional: no answer), then ACKs.
    static Device FrameReplies(std::vector<std::optional<uint8_t>> replies);

    std::vector<std::string> LineCalls() const; // the calls other than reads and writes

private:
    friend struct Trampolines;
    uint32_t startTick_;
    std::deque<std::pair<uint32_t, uint8_t>> inbox_; // due (virtual ms), byte
};

} // namespace pellintest
