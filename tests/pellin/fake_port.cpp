#include "fake_port.h"

#include <memory>
#include <thread>

namespace pellintest {

namespace {

FakePort* current = nullptr;

} // namespace

struct Trampolines {
    static int32_t PortInit(const char* name, int32_t baud, int32_t parity, int32_t bits,
                            int32_t stop) {
        current->calls.push_back("PortInit");
        current->portInitName = name;
        current->portInitArgs = {baud, parity, bits, stop};
        return current->portInitResult;
    }
    static int32_t OpenPort() {
        current->calls.push_back("OpenPort");
        current->open = current->openResult == 0;
        current->inbox_.clear(); // opening empties the queues
        return current->openResult;
    }
    static void ClosePort() {
        current->calls.push_back("ClosePort");
        current->open = false;
    }
    static void WritePort(const char* data, int32_t count) {
        FakePort& f = *current;
        const std::string text(data, static_cast<size_t>(count));
        f.calls.push_back("write " + text);
        f.writes.push_back(text);
        f.writeTimes.push_back(f.nowMs);
        if (f.onWrite)
            f.onWrite();
        if (!f.open || !f.device)
            return;
        for (const Answer& a : f.device(text))
            f.inbox_.emplace_back(f.nowMs + a.afterMs, a.byte);
    }
    static int32_t ReadPort(uint8_t* byte) {
        FakePort& f = *current;
        if (f.inbox_.empty() || f.inbox_.front().first > f.nowMs)
            return 0;
        *byte = f.inbox_.front().second;
        f.inbox_.pop_front();
        return 1;
    }
    static void SetDTR() { current->calls.push_back("SetDTR"); }
    static void ClrDTR() { current->calls.push_back("ClrDTR"); }
    static void SetRTS() { current->calls.push_back("SetRTS"); }
    static void ClrRTS() { current->calls.push_back("ClrRTS"); }
    static int32_t WaitPort(int32_t ms) {
        FakePort& f = *current;
        if (f.yieldInWaits)
            std::this_thread::yield();
        if (ms < 0)
            ms = 0;
        const uint32_t until = f.nowMs + static_cast<uint32_t>(ms);
        if (!f.inbox_.empty() && f.inbox_.front().first <= until) {
            if (f.inbox_.front().first > f.nowMs)
                f.nowMs = f.inbox_.front().first;
            return 1;
        }
        f.nowMs = until;
        return 0;
    }
    static uint32_t Tick() { return current->startTick_ + current->nowMs; }
    static void Sleep(uint32_t ms) {
        if (current->yieldInWaits)
            std::this_thread::yield();
        current->nowMs += ms;
        if (current->onSleep)
            current->onSleep();
    }
};

FakePort::FakePort(uint32_t startTick) : startTick_(startTick) {
    current = this;
}

FakePort::~FakePort() {
    if (current == this)
        current = nullptr;
}

pellin::Transport FakePort::Transport() const {
    return pellin::Transport{&Trampolines::PortInit,  &Trampolines::OpenPort,
                             &Trampolines::ClosePort, &Trampolines::WritePort,
                             &Trampolines::ReadPort,  &Trampolines::SetDTR,
                             &Trampolines::ClrDTR,    &Trampolines::SetRTS,
                             &Trampolines::ClrRTS,    &Trampolines::WaitPort};
}

pellin::Clock FakePort::Clock() const {
    return pellin::Clock{&Trampolines::Tick, &Trampolines::Sleep};
}

FakePort::Device FakePort::AckEverything() {
    return [](const std::string& written) -> std::vector<Answer> {
        if (!written.empty() && written.back() == '\n')
            return {{0x06}};
        return {{static_cast<uint8_t>(written[0])}};
    };
}

FakePort::Device FakePort::FrameReplies(std::vector<std::optional<uint8_t>> replies) {
    auto left =
        std::make_shared<std::deque<std::optional<uint8_t>>>(replies.begin(), replies.end());
    return [left](const std::string& written) -> std::vector<Answer> {
        if (written.empty() || written.back() != '\n')
            return {};
        if (left->empty())
            return {{0x06}};
        const std::optional<uint8_t> reply = left->front();
        left->pop_front();
        if (!reply)
            return {};
        return {{*reply}};
    };
}

std::vector<std::string> FakePort::LineCalls() const {
    std::vector<std::string> lines;
    for (const std::string& call : calls) {
        if (call.rfind("write ", 0) != 0)
            lines.push_back(call);
    }
    return lines;
}

} // namespace pellintest
