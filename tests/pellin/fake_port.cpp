#include "fake_port.h"

#include <memory>
#include <thread>

namespace pellintest {

struct Trampolines {
    static FakePort& Of(void* context) { return *static_cast<FakePort*>(context); }
    static int32_t PortInit(void* context, const char* name, int32_t baud, int32_t parity,
                            int32_t bits, int32_t stop) {
        FakePort& f = Of(context);
        f.calls.push_back("PortInit");
        f.portInitName = name;
        f.portInitArgs = {baud, parity, bits, stop};
        return f.portInitResult;
    }
    static int32_t OpenPort(void* context) {
        FakePort& f = Of(context);
        f.calls.push_back("OpenPort");
        f.open = f.openResult == 0;
        f.inbox_.clear(); // opening empties the queues
        return f.openResult;
    }
    static void ClosePort(void* context) {
        FakePort& f = Of(context);
        f.calls.push_back("ClosePort");
        f.open = false;
    }
    static void WritePort(void* context, const char* data, int32_t count) {
        FakePort& f = Of(context);
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
    static int32_t ReadPort(void* context, uint8_t* byte) {
        FakePort& f = Of(context);
        if (f.inbox_.empty() || f.inbox_.front().first > f.nowMs)
            return 0;
        *byte = f.inbox_.front().second;
        f.inbox_.pop_front();
        return 1;
    }
    static void SetDTR(void* context) { Of(context).calls.push_back("SetDTR"); }
    static void ClrDTR(void* context) { Of(context).calls.push_back("ClrDTR"); }
    static void SetRTS(void* context) { Of(context).calls.push_back("SetRTS"); }
    static void ClrRTS(void* context) { Of(context).calls.push_back("ClrRTS"); }
    static int32_t WaitPort(void* context, int32_t ms) {
        FakePort& f = Of(context);
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
    static uint32_t Tick(void* context) { return Of(context).startTick_ + Of(context).nowMs; }
    static void Sleep(void* context, uint32_t ms) {
        FakePort& f = Of(context);
        if (f.yieldInWaits)
            std::this_thread::yield();
        f.nowMs += ms;
        if (f.onSleep)
            f.onSleep();
    }
};

FakePort::FakePort(uint32_t startTick) : startTick_(startTick) {}

pellin::Transport FakePort::Transport() {
    return pellin::Transport{this,
                             &Trampolines::PortInit,
                             &Trampolines::OpenPort,
                             &Trampolines::ClosePort,
                             &Trampolines::WritePort,
                             &Trampolines::ReadPort,
                             &Trampolines::SetDTR,
                             &Trampolines::ClrDTR,
                             &Trampolines::SetRTS,
                             &Trampolines::ClrRTS,
                             &Trampolines::WaitPort};
}

pellin::Clock FakePort::Clock() {
    return pellin::Clock{this, &Trampolines::Tick, &Trampolines::Sleep};
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
