#include "kaprin/cli/job_monitor.h"

namespace kaprin::cli {

void JobMonitor::Start(const std::string& path) {
    Finish();
    running_ = true;
    saw100_ = false;
    zeroAfter100_ = false;
    lastError_ = 0;
    current_ = DownloadRecord{};
    current_.started = std::chrono::system_clock::now();
    current_.portIndex = portIndex_;
    current_.file = path;
    startTick_ = lastPollTick_ = clock_.TickCount();
}

void JobMonitor::End(bool ok, int code) {
    running_ = false;
    current_.ok = ok;
    current_.code = ok ? 0 : code;
    current_.durationMs = lastPollTick_ - startTick_;
    ++downloads_;
    if (ok)
        ++good_;
    last_ = current_;
    if (onDownloadEnd)
        onDownloadEnd(current_);
}

void JobMonitor::Finish() {
    if (running_)
        End(saw100_ && lastError_ == 0, lastError_);
}

void JobMonitor::BotLoad(const std::string& path) {
    Start(path);
    inner_.BotLoad(path);
}

void JobMonitor::FontLoad(const std::string& path) {
    Start(path);
    inner_.FontLoad(path);
}

std::int32_t JobMonitor::getPercent() {
    std::int32_t v = inner_.getPercent();
    if (running_) {
        lastPollTick_ = clock_.TickCount();
        saw100_ = saw100_ || v >= 100;
    }
    return v;
}

std::int32_t JobMonitor::getBlock() {
    std::int32_t v = inner_.getBlock();
    if (running_)
        current_.blocks = v;
    return v;
}

std::int32_t JobMonitor::getError() {
    std::int32_t v = inner_.getError();
    if (running_) {
        lastPollTick_ = clock_.TickCount();
        lastError_ = v;
        // After percent 100 the run may read the code once more; a second 0 settles it,
        // and so does any other call or the front end's Finish.
        if (v != 0)
            End(false, v);
        else if (saw100_ && zeroAfter100_)
            End(true, 0);
        else if (saw100_)
            zeroAfter100_ = true;
    }
    return v;
}

std::int32_t JobMonitor::usePort(std::int32_t portIndex, std::int32_t baudRate) {
    Finish();
    portIndex_ = portIndex;
    baudRate_ = baudRate;
    return inner_.usePort(portIndex, baudRate);
}

void JobMonitor::PowerOn(bool on) {
    Finish();
    inner_.PowerOn(on);
}

void JobMonitor::BootOn(bool on) {
    Finish();
    inner_.BootOn(on);
}

void JobMonitor::BootStart(bool on) {
    Finish();
    inner_.BootStart(on);
}

void JobMonitor::BootShutDown(bool on) {
    Finish();
    inner_.BootShutDown(on);
}

std::int32_t JobMonitor::CheckZ() {
    Finish();
    std::int32_t v = inner_.CheckZ();
    portUnusable_ = v == -1;
    return v;
}

std::int32_t JobMonitor::CheckDevice() {
    Finish();
    return inner_.CheckDevice();
}

} // namespace kaprin::cli
