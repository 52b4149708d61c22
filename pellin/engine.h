// The download library's job state and everything that works on it: the exports' behaviour,
// the worker, the transfer protocol, line control and the probes. The C exports forward to one
// process-wide Engine; the tests build their own over a scripted port and a virtual clock.
#pragma once

#include "image_file.h"
#include "transport.h"

#include <atomic>
#include <cstdint>
#include <functional>

namespace pellin {

// Result of a send-and-wait step and of a transfer; the job's error code takes it.
enum Status : int32_t {
    kOk = 0,
    kTimeOut = 1,
    kRefusedNak = 2,
    kProgramFail = 3,
    kRefusedOther = 4,
    kFileError = 5,
    // Five refusals in a row, none of them a NAK: bytes that are no answer kept coming.
    kNoisyLine = 6,
};

inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kNak = 0x15;
inline constexpr uint8_t kEsc = 0x1B;
inline constexpr size_t kPathBufferSize = 260;
inline constexpr size_t kPortNameBufferSize = 12;
inline constexpr char kDeviceName[] = "MORLA";
// After a byte that is no answer, the frame goes again once its own answer is due: the
// frame's time on the wire, this many character times, and the time a USB serial adapter
// may hold a received byte (common ones gather input for up to 16 ms). Bounded, so a
// babbling line cannot hold a sender.
inline constexpr uint32_t kAnswerCharacters = 4;
inline constexpr uint32_t kAdapterLatencyMs = 20;
// The rate taken for character times until usePort names one.
inline constexpr int32_t kDefaultBaud = 9600;
// At most this many bytes are dropped at once, so that a babbling line cannot hold a sender.
inline constexpr int kMaxDiscardBytes = 4096;
// A job publishes its result before its shut-down and start frames (up to 1 s each) and the
// close; a probe that comes in that time waits for it.
inline constexpr uint32_t kProbeWaitForJobMs = 2500;

// Percent of the file sent after position bytes of length, in 64-bit arithmetic. A running job
// stays at 99 at most: only the end of a good job reports 100, which callers take as done.
int32_t ProgressPercent(uint64_t position, uint64_t length);

struct JobState {
    char line[kLineBufferSize] = {};
    std::atomic<uint8_t> powerOn{0};
    std::atomic<uint8_t> bootOn{0};
    std::atomic<uint8_t> startFlag{0};
    std::atomic<uint8_t> shutDownFlag{0};
    std::atomic<int32_t> percent{0};
    std::atomic<int32_t> block{0};
    std::atomic<int32_t> error{0};
    int32_t fontFlag = 0;
};

class Engine {
public:
    // Runs the job given to it, normally on a new thread that nobody joins. Returns false when
    // it could not start it.
    using Launcher = std::function<bool(std::function<void()> job)>;

    Engine(const Transport& port, const Clock& clock, Launcher launcher = DetachedThread());
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    static Launcher DetachedThread();

    // The exports.
    void BotLoad(const char* path) { StartJob(path, 0); }
    void FontLoad(const char* path) { StartJob(path, 1); }
    int32_t getPercent();
    int32_t getBlock();
    int32_t getError();
    int32_t usePort(int32_t index, int32_t baud);
    void PowerOn(uint8_t flag) { state_.powerOn.store(flag); }
    void BootOn(uint8_t flag) { state_.bootOn.store(flag); }
    void BootStart(uint8_t flag) { state_.startFlag.store(flag); }
    void BootShutDown(uint8_t flag) { state_.shutDownFlag.store(flag); }
    void TESTFUNC(uint8_t selector);
    int32_t CheckDevice();
    int32_t CheckZ();

    // True from the start of a job or probe until its last step is done.
    bool Busy() const { return busy_.load(std::memory_order_acquire); }
    const char* PortName() const { return portName_; }
    JobState& State() { return state_; }

    // Protocol steps, public for the tests.
    Status SendAndWait(uint32_t seconds);
    void BuildFrame(uint8_t type, const uint8_t* data, uint8_t count);
    void PutFrame(const char* text);
    bool LinkStart();
    Status Transfer(const char* path);
    void SetLines();
    void RunWorker();

private:
    bool Acquire();
    // A probe that comes right after a job's result waits for the job's last frames and
    // its close (at most kProbeWaitForJobMs) instead of failing.
    bool AcquireForProbe();
    void Release();
    void StartJob(const char* path, int32_t fontFlag);
    // Polls for one byte until limitMs have passed since start (a tick value).
    bool WaitByte(uint32_t start, uint32_t limitMs, uint8_t* byte);
    void Pause(uint32_t ms);
    // Drops the bytes already received, so that the next answer belongs to what is sent next.
    void DiscardInput();
    // Drops bytes until none has come for quietMs, or limitMs have passed.
    void DiscardUntilQuiet(uint32_t quietMs, uint32_t limitMs);
    // Milliseconds that count characters of 10 bits take at the port's rate, at least 1.
    uint32_t CharacterTimesMs(uint32_t count) const;
    // From the start of a frame of length characters until its answer is due.
    uint32_t AnswerWindowMs(int32_t length) const {
        return CharacterTimesMs(static_cast<uint32_t>(length) + kAnswerCharacters) +
               kAdapterLatencyMs;
    }
    Status RunPass(ImageFile& file, int32_t pass);

    Transport port_;
    Clock clock_;
    Launcher launcher_;
    JobState state_;
    char imagePath_[kPathBufferSize] = {};
    char portName_[kPortNameBufferSize] = "\\\\.\\COM1";
    std::atomic<bool> busy_{false};
    std::atomic<int32_t> baud_{kDefaultBaud};
};

} // namespace pellin
